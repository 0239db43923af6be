// The page: files in, one Web Worker per core (as far as memory allows)
// converting them, progress per file and overall, downloads, and the movie
// playing in Ruffle beside its GIF.
"use strict";

const OPTIONS_KEY = "tervano.options";
const LANGUAGE_KEY = "tervano.language";
// Each worker's module may grow to this much memory (web/CMakeLists.txt).
const WORKER_MEMORY_MB = 512;
const MAX_WORKERS = 8;
const C = window.TervanoConvert;

const $ = (id) => document.getElementById(id);
let language = pickLanguage(readStored(LANGUAGE_KEY), navigator.languages || [navigator.language]);
let T = TEXTS[language];

function readStored(key) {
  try {
    return localStorage.getItem(key);
  } catch {
    return null;  // storage off: nothing remembered
  }
}

function store(key, value) {
  try {
    localStorage.setItem(key, value);
  } catch {
    // storage off or full: the page still works, it only forgets
  }
}

// ---- options ------------------------------------------------------------

function loadOptions() {
  const o = C.defaultOptions();
  try {
    const saved = JSON.parse(readStored(OPTIONS_KEY) || "{}");
    for (const k of Object.keys(o)) if (typeof saved[k] === typeof o[k]) o[k] = saved[k];
  } catch {
    // a damaged entry: the defaults
  }
  return o;
}

let options = loadOptions();
const SWITCHES = ["useLinkUrl", "borderCorrection", "useGifBackground", "optimiseCanvas", "protect", "writeHtml",
  "fullMenu"];

function showOptions() {
  const loop = !options.changeLoop ? "gif" : options.loopForever ? "forever" : "count";
  for (const r of document.querySelectorAll('input[name="loop"]')) r.checked = r.value === loop;
  $("playCount").value = options.playCount > 0 ? options.playCount : 1;
  $("playCount").disabled = loop !== "count";
  for (const s of SWITCHES) $(s).checked = !!options[s];
  $("linkUrl").value = options.linkUrl;
  $("linkUrl").disabled = !options.useLinkUrl;
  $("ruffleUrl").value = options.ruffleUrl;
  document.querySelector(".page-options").classList.toggle("off", !options.writeHtml);
  $("fullMenu").disabled = $("ruffleUrl").disabled = !options.writeHtml;
}

function readControls() {
  const loop = document.querySelector('input[name="loop"]:checked').value;
  const count = Math.min(65535, Math.max(1, Math.floor(Number($("playCount").value)) || 1));
  options.changeLoop = loop === "gif" ? 0 : 1;
  if (loop === "forever") options.loopForever = 1;
  if (loop === "count") {
    options.loopForever = 0;
    options.playCount = count;
  }
  for (const s of SWITCHES) options[s] = $(s).checked ? 1 : 0;
  options.linkUrl = $("linkUrl").value.replace(/[\r\n]/g, "");
  options.ruffleUrl = $("ruffleUrl").value.replace(/[\u0000-\u001f\u007f]/g, "");
  store(OPTIONS_KEY, JSON.stringify(options));
  showOptions();
}

$("options").addEventListener("change", readControls);
$("options").addEventListener("input", (e) => { if (e.target.type !== "number") readControls(); });
$("reset").addEventListener("click", () => {
  options = C.defaultOptions();
  store(OPTIONS_KEY, JSON.stringify(options));
  showOptions();
});

// ---- texts --------------------------------------------------------------

function showTexts() {
  document.documentElement.lang = language === "zh" ? "zh-CN" : "en";
  document.title = T.title;
  for (const el of document.querySelectorAll("[data-text]")) el.textContent = T[el.dataset.text];
  $("language").textContent = T.language;
  for (const job of jobs) paint(job);
  paintOverall();
}

$("language").addEventListener("click", () => {
  language = language === "zh" ? "en" : "zh";
  T = TEXTS[language];
  store(LANGUAGE_KEY, language);
  showTexts();
});

// ---- workers ------------------------------------------------------------

// One per core, no more than half the device's memory (as the browser tells
// it; 4 GB when it does not) holds at their ceiling.
function workerCount() {
  const cores = navigator.hardwareConcurrency || 2;
  const memoryMb = (navigator.deviceMemory || 4) * 1024;
  const byMemory = Math.floor(memoryMb / 2 / WORKER_MEMORY_MB);
  return Math.max(1, Math.min(cores, byMemory, MAX_WORKERS));
}

const workers = [];
const jobs = [];
let nextId = 1;

function newWorker() {
  const w = { worker: new Worker("worker.js"), job: null };
  w.worker.onmessage = (e) => fromWorker(w, e.data);
  // A worker that fails outside a conversion's own handling: its file is
  // told so, and a new worker takes its place.
  w.worker.onerror = (e) => {
    e.preventDefault();
    const job = w.job;
    replaceWorker(w);
    if (job) finish(job, { status: C.Status.movieNotWritable, sourceEnd: 0, reason: e.message || "", broken: true });
  };
  return w;
}

function replaceWorker(w) {
  w.worker.terminate();
  const i = workers.indexOf(w);
  if (i >= 0) workers.splice(i, 1, newWorker());
}

function schedule() {
  while (workers.length < workerCount()) workers.push(newWorker());
  for (const w of workers) {
    if (w.job) continue;
    const job = jobs.find((j) => j.state === "waiting");
    if (!job) break;
    w.job = job;
    job.worker = w;
    job.state = "reading";
    w.worker.postMessage({ id: job.id, file: job.file, movieName: job.movieName, options: job.options });
    paint(job);
  }
  paintOverall();
}

function fromWorker(w, m) {
  const job = jobs.find((j) => j.id === m.id);
  if (m.kind === "done") {
    w.job = null;
    if (m.broken) replaceWorker(w);
    if (job) finish(job, m);
    schedule();
    return;
  }
  if (!job) return;
  if (m.kind === "frames") {
    job.frames = m.frames;
    job.framesDone = 0;
    job.state = "converting";
  } else if (m.kind === "frame") {
    job.framesDone++;
  }
  paintSoon(job);
}

// ---- files --------------------------------------------------------------

function addFiles(files) {
  for (const file of files) {
    const job = { id: nextId++, file, name: file.name, movieName: C.movieNameOf(file.name),
      options: { ...options }, state: "waiting", frames: 0, framesDone: 0 };
    job.row = makeRow(job);
    $("list").append(job.row.li);
    jobs.push(job);
    paint(job);
  }
  $("idle").hidden = jobs.length > 0;
  schedule();
}

$("files").addEventListener("change", (e) => {
  addFiles([...e.target.files]);
  e.target.value = "";  // the same files may be picked again
});
const drop = $("drop");
for (const type of ["dragenter", "dragover"]) {
  drop.addEventListener(type, (e) => {
    e.preventDefault();
    drop.classList.add("over");
  });
}
drop.addEventListener("dragleave", () => drop.classList.remove("over"));
drop.addEventListener("drop", (e) => {
  e.preventDefault();
  drop.classList.remove("over");
  addFiles([...e.dataTransfer.files]);
});
// A file dropped beside the zone would otherwise replace the page.
window.addEventListener("dragover", (e) => e.preventDefault());
window.addEventListener("drop", (e) => e.preventDefault());

function finish(job, r) {
  job.state = r.status === C.Status.converted ? "done" : "failed";
  job.result = r;
  if (job.state === "done") {
    job.movie = r.movie;
    job.page = r.page;
    job.movieUrl = URL.createObjectURL(new Blob([r.movie], { type: "application/x-shockwave-flash" }));
    if (r.page) job.pageUrl = URL.createObjectURL(new Blob([r.page], { type: "text/html" }));
    job.framesDone = job.frames;
  }
  paint(job);
  paintOverall();
  if (job.state === "done" && !previewed) showPreview(job);
}

// What went wrong with a file, or what the movie lacks, in plain words.
function problemOf(job) {
  const r = job.result;
  if (!r) return "";
  switch (r.status) {
    case C.Status.converted:
      if (r.sourceEnd === C.SourceEnd.imageTooLarge) return T.imageTooLarge;
      if (r.sourceEnd === C.SourceEnd.screenTooLarge) return T.screenTooLarge;
      if (job.frames === 0) return T.noFrames;
      return r.cutShort ? T.cutShort : "";
    case C.Status.notGif: return job.file.size === 0 ? T.empty : T.notGif;
    case C.Status.sourceUnreadable: return T.unreadable(r.reason);
    case C.Status.cancelled: return T.cancelled;
    case C.Status.pageNotWritable: return T.pageNotWritable(r.reason);
    default:
      return r.broken || r.outOfMemory || /memory/i.test(r.reason || "") ? T.noMemory : T.notWritable(r.reason);
  }
}

// ---- the list -----------------------------------------------------------

function makeRow(job) {
  const li = document.createElement("li");
  const name = document.createElement("span");
  name.className = "name";
  name.textContent = job.name;
  const bar = document.createElement("progress");
  bar.max = 1;
  bar.value = 0;
  const state = document.createElement("span");
  state.className = "state";
  const links = document.createElement("span");
  links.className = "links";
  li.append(name, bar, state, links);
  li.dataset.id = job.id;
  return { li, bar, state, links };
}

const dirty = new Set();
let painting = false;
// Frame messages come faster than a screen refreshes: paint once per frame.
function paintSoon(job) {
  dirty.add(job);
  if (painting) return;
  painting = true;
  requestAnimationFrame(() => {
    painting = false;
    for (const j of dirty) paint(j);
    dirty.clear();
    paintOverall();
  });
}

function paint(job) {
  const { li, bar, state, links } = job.row;
  li.className = job.state;
  if (job.frames > 0) {
    bar.max = job.frames;
    bar.value = job.framesDone;
  } else if (job.state === "waiting") {
    bar.removeAttribute("value");
    bar.max = 1;
    bar.value = 0;
  }
  let text = "";
  if (job.state === "waiting") text = T.waiting;
  else if (job.state === "reading") text = T.reading;
  else if (job.state === "converting") text = T.frames(job.framesDone, job.frames);
  else if (job.state === "done") text = T.converted(job.frames);
  else text = problemOf(job);
  state.textContent = text;
  // What a finished movie lacks, on a line of its own below.
  const note = job.state === "done" ? problemOf(job) : "";
  if (note) {
    const line = document.createElement("span");
    line.className = "note";
    line.textContent = note;
    state.append(line);
  }
  if (job.state === "done" && !links.firstChild) {
    links.append(downloadLink(job.movieUrl, job.movieName));
    if (job.pageUrl) links.append(downloadLink(job.pageUrl, C.pageNameOf(job.movieName)));
    const play = document.createElement("button");
    play.type = "button";
    play.className = "quiet play";
    play.addEventListener("click", () => showPreview(job));
    links.append(play);
  }
  const play = links.querySelector(".play");
  if (play) play.textContent = `▶ ${T.preview}`;
}

function downloadLink(url, name) {
  const a = document.createElement("a");
  a.href = url;
  a.download = name;
  a.textContent = name;
  return a;
}

function paintOverall() {
  const all = jobs.length;
  const finished = jobs.filter((j) => j.state === "done" || j.state === "failed").length;
  let amount = finished;
  for (const j of jobs) if (j.state === "converting" && j.frames > 0) amount += j.framesDone / j.frames;
  $("overallBar").max = Math.max(all, 1);
  $("overallBar").value = amount;
  $("overallText").textContent = all ? T.overall(finished, all) : "";
  $("downloadAll").disabled = !jobs.some((j) => j.state === "done");
  $("clear").disabled = all === 0;
}

// ---- downloads ----------------------------------------------------------

// Every finished movie (and page) in one zip; a name taken twice gets a
// number, as a second download of it would.
$("downloadAll").addEventListener("click", () => {
  const entries = {};
  const taken = new Set();
  const unique = (name) => {
    let n = name;
    const dot = name.lastIndexOf(".");
    for (let i = 2; taken.has(n.toLowerCase()); i++) n = `${name.slice(0, dot)} (${i})${name.slice(dot)}`;
    taken.add(n.toLowerCase());
    return n;
  };
  for (const j of jobs) {
    if (j.state !== "done") continue;
    const movieName = unique(j.movieName);
    // Movies are compressed already; pages are small text.
    entries[movieName] = [j.movie, { level: 0 }];
    if (j.page) entries[unique(C.pageNameOf(movieName))] = [j.page, { level: 6 }];
  }
  const zip = fflate.zipSync(entries);
  const a = downloadLink(URL.createObjectURL(new Blob([zip], { type: "application/zip" })), "tervano.zip");
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 60000);
});

$("clear").addEventListener("click", () => {
  for (const w of workers) if (w.job) replaceWorker(w);
  for (const w of workers) w.job = null;
  for (const j of jobs) {
    if (j.movieUrl) URL.revokeObjectURL(j.movieUrl);
    if (j.pageUrl) URL.revokeObjectURL(j.pageUrl);
  }
  jobs.length = 0;
  $("list").replaceChildren();
  $("idle").hidden = false;
  hidePreview();
  paintOverall();
});

// ---- preview ------------------------------------------------------------

let previewed = null;
let gifUrl = null;

function hidePreview() {
  previewed = null;
  $("preview").hidden = true;
  $("previewHint").hidden = false;
  $("previewMovie").replaceChildren();
  if (gifUrl) URL.revokeObjectURL(gifUrl);
  gifUrl = null;
}

// The GIF as the browser shows it, and the movie in Ruffle at the GIF's size.
function showPreview(job) {
  if (previewed === job) return;
  hidePreview();
  previewed = job;
  for (const j of jobs) j.row.li.classList.toggle("previewed", j === job);
  $("preview").hidden = false;
  $("previewHint").hidden = true;
  $("previewName").textContent = job.movieName;
  gifUrl = URL.createObjectURL(job.file);
  $("previewGif").src = gifUrl;
  const ruffle = window.RufflePlayer && window.RufflePlayer.newest();
  if (!ruffle) return;
  // The movie's own stage, pixel for pixel, as the GIF beside it.
  const stage = C.stageOf(job.movie);
  const player = ruffle.createPlayer();
  player.style.width = `${stage.width}px`;
  player.style.height = `${stage.height}px`;
  $("previewMovie").replaceChildren(player);
  const api = typeof player.ruffle === "function" ? player.ruffle() : player;
  api.load({ data: job.movie, swfFileName: job.movieName });
}

showOptions();
showTexts();
