// The media source's picture formats, made from the frame store's picture
// (24-bit BGR, bottom row first, rows padded to 4 bytes; filter/FrameStore.h):
// NV12 (a plane of luma, then one of interleaved Cb/Cr at half width and
// height, BT.601 video range, as cameras send) and RGB32 (B, G, R, 0xFF per
// pixel). Both top row first, with rows of exactly the picture's width: NV12's
// stride is its width in bytes, RGB32's four times it.
//
// Odd sizes: NV12's chroma covers 2x2 pixels, and Media Foundation's
// pipelines take NV12 with even sides only, so NV12 is made at the slot's
// size rounded down to even sides: an odd width drops the picture's rightmost
// column, an odd height its bottom row (NV12 needs at least 2x2). RGB32 keeps
// the slot's size.
//
// Pure functions; any thread.
#pragma once

#include <cstddef>

#include "platform/platform.h"

// In the order the source offers them.
enum class PictureFormat { kNv12, kRgb32 };

// The size of `format`'s picture made from a store of width x height. False
// when there is none: NV12 of a side below 2, or a store too large to hold.
bool FormattedSize(PictureFormat format, LONG width, LONG height, LONG* formattedWidth, LONG* formattedHeight);
// Bytes of `format`'s picture made from a store of width x height; 0 when
// there is none.
size_t FormattedBytes(PictureFormat format, LONG width, LONG height);
// Converts the store's picture of width x height into target (cbTarget
// bytes). Returns the bytes written: FormattedBytes, or 0 (nothing written)
// when target is smaller or there is no such picture. Reads exactly the
// store's bytes of that size, writes only within target.
size_t ConvertPicture(PictureFormat format, const BYTE* store, LONG width, LONG height, BYTE* target, size_t cbTarget);
