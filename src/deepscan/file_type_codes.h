#pragma once

// Type codes of the content scan's format rows, as stored in scan records
// and answered by the detectors. kTypeUnknown answers "not recognised" and
// ends the format table.
namespace brinvale {

inline constexpr int kTypeWord = 0;          // compound document, Word
inline constexpr int kTypeWordPackage = 1;   // Office Open XML, Word
inline constexpr int kTypeCompound = 2;      // compound document, kind unknown
inline constexpr int kTypeExcel = 3;         // compound document, Excel
inline constexpr int kTypeExcelPackage = 4;  // Office Open XML, Excel
inline constexpr int kTypePowerPoint = 5;    // compound document, PowerPoint
inline constexpr int kTypePowerPointPackage = 6;
inline constexpr int kTypeOfficePackage = 7;  // never answered by a detector
inline constexpr int kTypePdf = 8;
inline constexpr int kTypeGho = 9;
inline constexpr int kTypeJpeg = 10;
inline constexpr int kTypeMp2 = 11;
inline constexpr int kTypeMp3 = 12;
inline constexpr int kTypeMidi = 13;
inline constexpr int kTypeMmf = 14;
inline constexpr int kTypeMpeg = 15;
inline constexpr int kType3gp = 16;
inline constexpr int kTypeMov = 17;
inline constexpr int kTypeMp4 = 18;
inline constexpr int kTypeMkv = 19;
inline constexpr int kTypeTs = 20;
inline constexpr int kTypeWav = 21;
inline constexpr int kTypeAvi = 22;
inline constexpr int kTypeRealMedia = 23;
inline constexpr int kTypeAsf = 24;
inline constexpr int kTypeApe = 25;
inline constexpr int kTypeSwf = 26;
inline constexpr int kTypeFlv = 27;
inline constexpr int kTypePsd = 28;
inline constexpr int kTypeBmp = 29;
inline constexpr int kTypePng = 30;
inline constexpr int kTypeGif = 31;
inline constexpr int kTypeTiff = 32;
inline constexpr int kTypeCab = 33;
inline constexpr int kType7z = 34;
inline constexpr int kTypeZip = 35;
inline constexpr int kTypeGzip = 36;
inline constexpr int kTypeRar = 37;
inline constexpr int kTypePst = 38;
inline constexpr int kTypeSqlite = 39;
inline constexpr int kTypeDbx = 40;
inline constexpr int kTypeExe = 41;
inline constexpr int kTypeDll = 42;
inline constexpr int kTypeSys = 43;
inline constexpr int kTypeFla = 44;
inline constexpr int kTypeTrueType = 45;
inline constexpr int kTypeIco = 46;
inline constexpr int kTypeMts = 47;
inline constexpr int kTypeMxf = 48;
inline constexpr int kTypeUnknown = 49;

}  // namespace brinvale
