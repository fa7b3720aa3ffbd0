#pragma once

#include <cstdint>
#include <span>

#include "deepscan/sizing_context.h"

// The detectors and sizers of the format table, one family per file.
// Detectors answer a type code or kTypeUnknown and never read past the
// buffer; sizers answer a length in bytes. See file_type_table.h.
namespace brinvale {

// mpeg.cpp
int DetectMpeg(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeMpeg(SizingContext& ctx, std::span<const uint8_t> buffer);

// isobmff.cpp
int DetectMp4(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeMp4(SizingContext& ctx, std::span<const uint8_t> buffer);
int Detect3gp(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t Size3gp(SizingContext& ctx, std::span<const uint8_t> buffer);
int DetectMov(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeMov(SizingContext& ctx, std::span<const uint8_t> buffer);

// realmedia.cpp
int DetectRealMedia(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeRealMedia(SizingContext& ctx, std::span<const uint8_t> buffer);

// asf.cpp
int DetectAsf(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeAsf(SizingContext& ctx, std::span<const uint8_t> buffer);

// flash.cpp
int DetectSwf(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeSwf(SizingContext& ctx, std::span<const uint8_t> buffer);
int DetectFlv(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeFlv(SizingContext& ctx, std::span<const uint8_t> buffer);

// riff.cpp
int DetectAvi(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeAvi(SizingContext& ctx, std::span<const uint8_t> buffer);
int DetectWav(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeWav(SizingContext& ctx, std::span<const uint8_t> buffer);

// matroska.cpp
int DetectMkv(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeMkv(SizingContext& ctx, std::span<const uint8_t> buffer);

// transport_stream.cpp
int DetectTransportStream(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeTransportStream(SizingContext& ctx, std::span<const uint8_t> buffer);
int DetectMts(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeMts(SizingContext& ctx, std::span<const uint8_t> buffer);

// mxf.cpp
int DetectMxf(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeMxf(SizingContext& ctx, std::span<const uint8_t> buffer);

// mpeg_audio.cpp
int DetectMp3(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeMp3(SizingContext& ctx, std::span<const uint8_t> buffer);
int DetectMp2(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeMp2(SizingContext& ctx, std::span<const uint8_t> buffer);

// midi.cpp
int DetectMidi(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeMidi(SizingContext& ctx, std::span<const uint8_t> buffer);
int DetectMmf(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeMmf(SizingContext& ctx, std::span<const uint8_t> buffer);

// ape.cpp
int DetectApe(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeApe(SizingContext& ctx, std::span<const uint8_t> buffer);

// ole.cpp
int DetectFla(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeFla(SizingContext& ctx, std::span<const uint8_t> buffer);
int DetectCompoundDocument(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeCompoundDocument(SizingContext& ctx, std::span<const uint8_t> buffer);

// gif.cpp
int DetectGif(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeGif(SizingContext& ctx, std::span<const uint8_t> buffer);

// bmp.cpp
int DetectBmp(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeBmp(SizingContext& ctx, std::span<const uint8_t> buffer);

// jpeg.cpp
int DetectJpeg(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeJpeg(SizingContext& ctx, std::span<const uint8_t> buffer);

// png.cpp
int DetectPng(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizePng(SizingContext& ctx, std::span<const uint8_t> buffer);

// psd.cpp
int DetectPsd(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizePsd(SizingContext& ctx, std::span<const uint8_t> buffer);

// tiff.cpp
int DetectTiff(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeTiff(SizingContext& ctx, std::span<const uint8_t> buffer);

// ico.cpp
int DetectIco(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeIco(SizingContext& ctx, std::span<const uint8_t> buffer);

// zip.cpp
int DetectOfficePackage(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeOfficePackage(SizingContext& ctx, std::span<const uint8_t> buffer);
int DetectZip(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeZip(SizingContext& ctx, std::span<const uint8_t> buffer);

// pdf.cpp
int DetectPdf(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizePdf(SizingContext& ctx, std::span<const uint8_t> buffer);

// gzip.cpp
int DetectGzip(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeGzip(SizingContext& ctx, std::span<const uint8_t> buffer);

// sevenzip.cpp
int Detect7z(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t Size7z(SizingContext& ctx, std::span<const uint8_t> buffer);

// rar.cpp
int DetectRar(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeRar(SizingContext& ctx, std::span<const uint8_t> buffer);

// cab.cpp
int DetectCab(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeCab(SizingContext& ctx, std::span<const uint8_t> buffer);

// sqlite.cpp
int DetectSqlite(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeSqlite(SizingContext& ctx, std::span<const uint8_t> buffer);

// outlook.cpp
int DetectDbx(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeDbx(SizingContext& ctx, std::span<const uint8_t> buffer);
int DetectPst(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizePst(SizingContext& ctx, std::span<const uint8_t> buffer);

// truetype.cpp
int DetectTrueType(SizingContext& ctx, std::span<const uint8_t> buffer);
uint64_t SizeTrueType(SizingContext& ctx, std::span<const uint8_t> buffer);

// Recognised but never reported: no sizer.
int DetectPe(SizingContext& ctx, std::span<const uint8_t> buffer);  // pe.cpp

// gho.cpp
int DetectGho(SizingContext& ctx, std::span<const uint8_t> buffer);

// The compound-document test on a buffer that begins with the compound-file
// signature: 0 Word, 3 Excel, 5 PowerPoint, 2 unknown kind (also when a
// read fails). Reads the sectors after the context's current sector.
int ClassifyCompoundDocument(SizingContext& ctx, std::span<const uint8_t> header);

}  // namespace brinvale
