// The page's texts: Chinese like the program's own, English for a browser
// whose preferred languages put English before Chinese. The choice made with
// the page's language switch is remembered.
"use strict";

const TEXTS = {
  zh: {
    title: "Tervano：GIF 转 SWF",
    tagline: "在浏览器里把 GIF 动画转换为 Flash 影片。文件不会离开你的电脑。",
    drop: "把 GIF 文件拖到这里，或",
    pick: "选择文件…",
    options: "影片选项",
    loop: "循环",
    loopGif: "按 GIF 自身的设置",
    loopForever: "一直循环",
    loopCount: "播放次数",
    times: "次",
    link: "点击影片时打开网址",
    border: "每帧加透明边框",
    background: "使用 GIF 的背景色",
    crop: "裁剪到可见部分",
    protect: "防止影片被导入",
    page: "同时生成 HTML 网页",
    fullMenu: "网页中显示播放器的完整菜单",
    ruffle: "网页从此地址加载 Ruffle 播放器",
    reset: "恢复默认",
    overall: (done, all) => `已完成 ${done} / ${all} 个文件`,
    idle: "还没有文件。",
    waiting: "等待中",
    reading: "读取中",
    frames: (done, all) => `第 ${done} / ${all} 帧`,
    converted: (frames) => `完成，${frames} 帧`,
    downloadAll: "全部下载（zip）",
    clear: "清空列表",
    preview: "预览",
    gif: "GIF 原图",
    movie: "SWF 影片（Ruffle 播放）",
    previewHint: "选择一个已完成的文件，在这里对照播放。",
    empty: "文件是空的。",
    notGif: "这不是 GIF 文件。",
    unreadable: (why) => `无法读取此文件${why ? `（${why}）` : ""}。`,
    noMemory: "内存不足，无法生成影片。",
    notWritable: (why) => `无法生成影片${why ? `（${why}）` : ""}。`,
    pageNotWritable: (why) => `无法生成网页${why ? `（${why}）` : ""}。`,
    cancelled: "已取消。",
    imageTooLarge: "GIF 中有一幅图像比画面还大，影片只到它之前为止。",
    screenTooLarge: "GIF 的画面太大，无法转换，影片是空的。",
    noFrames: "GIF 中没有可读的帧，影片是空的。",
    cutShort: "GIF 文件提前结束（可能不完整），影片只包含此前的帧。",
    language: "English",
  },
  en: {
    title: "Tervano: GIF to SWF",
    tagline: "Turns GIF animations into Flash movies inside your browser. Your files never leave your computer.",
    drop: "Drop GIF files here, or",
    pick: "choose files…",
    options: "Movie options",
    loop: "Loop",
    loopGif: "as the GIF says",
    loopForever: "forever",
    loopCount: "play",
    times: "times",
    link: "Open an address when the movie is clicked",
    border: "Transparent border around each frame",
    background: "Use the GIF's background colour",
    crop: "Crop frames to their visible part",
    protect: "Protect the movie from import",
    page: "Also make an HTML page",
    fullMenu: "The page shows the player's full menu",
    ruffle: "The page loads the Ruffle player from",
    reset: "Defaults",
    overall: (done, all) => `${done} of ${all} files done`,
    idle: "No files yet.",
    waiting: "waiting",
    reading: "reading",
    frames: (done, all) => `frame ${done} of ${all}`,
    converted: (frames) => `done, ${frames} frame${frames === 1 ? "" : "s"}`,
    downloadAll: "Download all (zip)",
    clear: "Clear the list",
    preview: "Preview",
    gif: "GIF",
    movie: "SWF movie (playing in Ruffle)",
    previewHint: "Pick a finished file to watch it here beside its GIF.",
    empty: "The file is empty.",
    notGif: "This is not a GIF file.",
    unreadable: (why) => `The file cannot be read${why ? ` (${why})` : ""}.`,
    noMemory: "Not enough memory to make the movie.",
    notWritable: (why) => `The movie could not be made${why ? ` (${why})` : ""}.`,
    pageNotWritable: (why) => `The page could not be made${why ? ` (${why})` : ""}.`,
    cancelled: "Cancelled.",
    imageTooLarge: "An image of the GIF is larger than its screen: the movie ends before it.",
    screenTooLarge: "The GIF's screen is too large to convert: the movie is empty.",
    noFrames: "No frame of the GIF could be read: the movie is empty.",
    cutShort: "The GIF file ends early (it may be cut off): the movie holds the frames before that.",
    language: "中文",
  },
};

// "zh" or "en": a remembered choice, else the first of the browser's
// preferred languages that is Chinese or English, else Chinese.
function pickLanguage(stored, preferred) {
  if (stored === "zh" || stored === "en") return stored;
  for (const tag of preferred || []) {
    const l = String(tag).toLowerCase();
    if (l === "zh" || l.startsWith("zh-")) return "zh";
    if (l === "en" || l.startsWith("en-")) return "en";
  }
  return "zh";
}
