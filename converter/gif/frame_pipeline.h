// Turns each decoded frame of pass two into movie tags.
#pragma once

struct GifConverter;

void EmitFrame(GifConverter& g);
void NoteObjectPlaced(GifConverter& g);
void NoteObjectRemoved(GifConverter& g);
// Movie frames that stand for a GIF delay in hundredths of a second.
int MovieFramesForDelay(int delay);
