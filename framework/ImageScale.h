// Resizing a picture made of equal frames stacked from the top (one frame
// is a picture of one), each frame on its own so that no frame bleeds into
// the next; and stacking the frames of a picture that holds them side by
// side.
#pragma once

#include "framework/Image.h"

// Fills target (empty) with source's frames, each resized to frameWidth x
// frameHeight by area averaging: every target pixel is the mean of the source
// pixels it covers, weighted by how much of each it covers. That keeps thin
// lines and text even when a picture shrinks by a fraction (a 2x picture
// shown at 150 %). A picture with alpha stays premultiplied, with alpha; any
// other becomes 32-bit without. False when source is empty, frames does not
// divide it or the target cannot be made.
bool ScaleFrames(const CImage& source, int frames, int frameWidth, int frameHeight, CImage& target);

// Fills target (empty) with the frames of source, which holds them side by
// side from the left, stacked from the top instead: the pixels unchanged, in
// 32 bits (a picture with alpha keeps its alpha, any other is opaque). False
// when source is empty, frames does not divide its width or the target
// cannot be made.
bool StackFrames(const CImage& source, int frames, CImage& target);
