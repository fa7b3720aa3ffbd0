#pragma once

#include "deepscan/carved_bytes.h"
#include "results/carved_condition.h"

// The structural walkers of the carved formats, one per family beside its
// detector and sizer. Each walks a carved file from its first byte through
// `file`, never past its extent, and answers kComplete with the file's own
// length, kDamaged with what broke, or kUnchecked where the structure does
// not state its length. Every loop advances by at least one byte or stops
// at a bound, so no input makes a walker spin.
namespace brinvale {

CarvedVerdict CheckJpeg(CarvedBytes& file);              // jpeg.cpp
CarvedVerdict CheckPng(CarvedBytes& file);               // png.cpp
CarvedVerdict CheckGif(CarvedBytes& file);               // gif.cpp
CarvedVerdict CheckBmp(CarvedBytes& file);               // bmp.cpp
CarvedVerdict CheckTiff(CarvedBytes& file);              // tiff.cpp
CarvedVerdict CheckPsd(CarvedBytes& file);               // psd.cpp
CarvedVerdict CheckIco(CarvedBytes& file);               // ico.cpp
CarvedVerdict CheckPdf(CarvedBytes& file);               // pdf.cpp
CarvedVerdict CheckZip(CarvedBytes& file);               // zip.cpp (ZIP, OOXML, ODF)
CarvedVerdict CheckCompoundDocument(CarvedBytes& file);  // ole.cpp
CarvedVerdict Check7z(CarvedBytes& file);                // sevenzip.cpp
CarvedVerdict CheckRar(CarvedBytes& file);               // rar.cpp
CarvedVerdict CheckRtf(CarvedBytes& file);               // rtf.cpp
CarvedVerdict CheckGzip(CarvedBytes& file);              // gzip.cpp
CarvedVerdict CheckBzip2(CarvedBytes& file);             // bzip2.cpp (not carved)
CarvedVerdict CheckXz(CarvedBytes& file);                // xz.cpp (not carved)
CarvedVerdict CheckTar(CarvedBytes& file);               // tar.cpp (not carved)
CarvedVerdict CheckSqlite(CarvedBytes& file);            // sqlite.cpp
CarvedVerdict CheckTrueType(CarvedBytes& file);          // truetype.cpp (TrueType, OpenType, TTC)
CarvedVerdict CheckPe(CarvedBytes& file);                // pe.cpp (exe, dll, sys)
CarvedVerdict CheckCab(CarvedBytes& file);               // cab.cpp
CarvedVerdict CheckPst(CarvedBytes& file);               // outlook.cpp
CarvedVerdict CheckRiff(CarvedBytes& file);              // riff.cpp (AVI, WAV)
CarvedVerdict CheckIsoBmff(CarvedBytes& file);           // isobmff.cpp (MP4, MOV, 3GP, M4A)
CarvedVerdict CheckMatroska(CarvedBytes& file);          // matroska.cpp (MKV, WebM)
CarvedVerdict CheckFlv(CarvedBytes& file);               // flash.cpp
CarvedVerdict CheckSwf(CarvedBytes& file);               // flash.cpp
CarvedVerdict CheckMpegProgram(CarvedBytes& file);       // mpeg.cpp
CarvedVerdict CheckTransportStream(CarvedBytes& file);   // transport_stream.cpp
CarvedVerdict CheckMts(CarvedBytes& file);               // transport_stream.cpp
CarvedVerdict CheckMpegAudio(CarvedBytes& file);         // mpeg_audio.cpp (MP3, MP2)
CarvedVerdict CheckAsf(CarvedBytes& file);               // asf.cpp
CarvedVerdict CheckApe(CarvedBytes& file);               // ape.cpp
CarvedVerdict CheckMidi(CarvedBytes& file);              // midi.cpp
CarvedVerdict CheckMmf(CarvedBytes& file);               // midi.cpp
CarvedVerdict CheckRealMedia(CarvedBytes& file);         // realmedia.cpp
CarvedVerdict CheckMxf(CarvedBytes& file);               // mxf.cpp
CarvedVerdict CheckOgg(CarvedBytes& file);               // ogg.cpp (no table row)

}  // namespace brinvale
