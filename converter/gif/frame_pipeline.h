// Turns each decoded frame of pass two into movie tags.
#pragma once

struct GifConverter;
struct SwfWriter;

void EmitFrame(GifConverter& g, SwfWriter& movie);
void NoteObjectPlaced(GifConverter& g, SwfWriter& movie);
void NoteObjectRemoved(GifConverter& g);
// Movie frames that stand for a GIF delay in hundredths of a second.
int MovieFramesForDelay(int delay);
