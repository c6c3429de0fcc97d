/*
 * dorva_records.h - the records a legacy halftone module receives.
 * Included by dorva.h. Valid C (C11 for the layout checks) and C++.
 *
 * Fields are in declaration order with natural alignment; pointer fields are
 * 8 bytes in the 64-bit build and 4 bytes in the 32-bit build, so the layout
 * checks below give the size and every field offset of both builds.
 *
 * A versioned record (tagXXX_<n>) begins with its version number and is
 * handed to the module as a pointer to the unversioned name (struct tagXXX*),
 * which stays incomplete: a module reads the version first and then casts to
 * the layout it knows.
 */
#ifndef DORVA_RECORDS_H
#define DORVA_RECORDS_H

#include "qxol.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Unversioned names under which versioned records are handed over. */
struct tagPRTSTRUCT3;
struct tagHTSTRUCT3;
struct tagJOBDATA;
struct tagMEDIAOPT;
struct tagHEADINFO;
struct tagBRSData;
struct tagOPTION;
struct tagOSDEP3;
struct tagTPINFOSTRUCT;
struct tag_CalibDataReq;

/* Output function of the option record: receives the record's context, a
 * block of printer data and its size; returns 1 when the block was taken. */
typedef int32_t(QXOL_CALL* DORVA_OUTPUT_FUNC)(void* context, signed char* data, int32_t size);

/* ---- Records without a version suffix ---------------------------------- */

typedef struct tagCUTCMD {
  uint16_t Version; /* 1 */
  uint16_t CutMode; /* 1 or 2 */
  int32_t Reserved1;
  int32_t Reserved2;
} tagCUTCMD;

typedef struct tagRCMDSTRUCT {
  unsigned char* lpCommand;
  int32_t CommandSize;
} tagRCMDSTRUCT;

typedef struct tagTRIMINFO {
  int32_t Reserved[7];
} tagTRIMINFO;

/* No version field. */
typedef struct tagOPTION {
  char* lpHTModulePath;
  char* lpMWModulePath;
  char** lpResourcePaths; /* ResourcePathCount entries */
  int32_t ResourcePathCount;
  DORVA_OUTPUT_FUNC OutputCallback;
  void* CallbackContext; /* first argument of OutputCallback */
} tagOPTION;

typedef struct tagTPINFOSTRUCT {
  uint16_t Version; /* 1 */
  uint16_t Reserved1;
  int32_t NormalEnd; /* 1 when the page ended normally */
} tagTPINFOSTRUCT;

/* ---- Versioned records -------------------------------------------------- */

/* Handed over as struct tagOSDEP3*; always zero. */
typedef struct tagOSDEP4 {
  int32_t Reserved[7];
} tagOSDEP4;

/* Handed over as void*. */
typedef struct tagGRTN_PARAMS_1 {
  int32_t Version;
  int32_t Reserved[8];
} tagGRTN_PARAMS_1;

typedef struct tagHEADINFO_2 {
  int32_t Version;
  unsigned char* lpHeadData;
  int32_t HeadDataSize;
} tagHEADINFO_2;

/* Bit validity of the media option fields (valid_mask). */
#define MEDIAOPT_VALID_FEED_OFFSET 0x2u
#define MEDIAOPT_VALID_WAIT_TIME_PER_PATH 0x4u
#define MEDIAOPT_VALID_PAPER_THICK 0x8u
#define MEDIAOPT_VALID_VACUUM_INTENSITY 0x10u
#define MEDIAOPT_VALID_WAIT_TIME_PER_PAGE 0x40u
#define MEDIAOPT_VALID_PLATEN_GAP 0x80u
#define MEDIAOPT_VALID_FEED_ROLLER_TYPE 0x200u
#define MEDIAOPT_VALID_PILE_PRINT 0x800u
#define MEDIAOPT_VALID_TOP_MARGIN 0x20000u
#define MEDIAOPT_VALID_INK_DENSITY_RATIO 0x100000u
#define MEDIAOPT_VALID_EX07M2_DONT_SEND 0x200000u
#define MEDIAOPT_INK_DENSITY_RATIO_NUM 16

/* Only the fields whose bit is set in valid_mask are meaningful. */
typedef struct tagMEDIAOPT_8 {
  uint16_t Version; /* 8 */
  uint16_t reserved1;
  uint32_t valid_mask;
  int32_t reserved2;
  int16_t feed_offset; /* -70 .. 70 */
  uint16_t wait_time_per_path;
  uint16_t paper_thick;
  uint16_t vacuum_intensity; /* 0 .. 168 */
  int32_t reserved3;
  uint16_t wait_time_per_page;
  uint16_t platen_gap; /* 0 .. 2 */
  uint16_t reserved4;
  uint16_t feed_roller_type;
  uint16_t reserved5;
  uint16_t pile_print;
  int32_t reserved6[3];
  uint16_t top_margin;
  uint16_t reserved7;
  int32_t ink_density_ratio[MEDIAOPT_INK_DENSITY_RATIO_NUM]; /* units of 1/1024 */
  int32_t ex07m2_dont_send;
} tagMEDIAOPT_8;

/* The hard-disk (stored job) option block that lpHDDOption points to; the
 * module reads its first HDDOptionSize bytes. */
#define JOBDATA_HDD_OPTION_SIZE 8
typedef struct tagHDDOPTION {
  unsigned char Option[JOBDATA_HDD_OPTION_SIZE];
} tagHDDOPTION;

/* Every ...Size is the byte length of its text without the terminating NUL. */
typedef struct tagJOBDATA_6 {
  uint16_t Version; /* 6 */
  uint16_t Reserved1;
  unsigned char* lpData;
  int32_t DataSize;
  char* lpOwnerName;
  int32_t OwnerNameSize;
  char* lpDocName;
  int32_t DocNameSize;
  char* lpHostName;
  int32_t HostNameSize;
  int32_t HostNameType;
  int32_t JobID;
  char* lpVenderInfo;
  int32_t VenderInfoSize;
  char* lpOSInfo;
  int32_t OSInfoSize;
  char* lpMediaInfo;
  int32_t MediaInfoSize;
  unsigned char* lpHDDOption;
  int32_t HDDOptionSize;
  int32_t DisablePrinterErrorCheck;
} tagJOBDATA_6;

typedef struct tagBRSData_4 {
  int32_t Version; /* 2, or 4 with EEC calibration */
  char* lpBRSFilePath;
  char* lpReservedText1;
  char* lpCDGFilePath;
  unsigned char* lpBZ1Data;
  int32_t BZ1DataSize;
  unsigned char* lpCA1Data;
  int32_t CA1DataSize;
  char* lpReservedText2;
  char* lpReservedText3;
  char* lpECalibPath;
  unsigned char* lpEECCalibData;
  int32_t EECCalibDataSize;
} tagBRSData_4;

typedef struct tag_CalibDataReq_1 {
  int32_t Version; /* 1 */
  char* lpToolPath;
  int32_t PrinterType;
  char* lpPrinterName;
  char* lpWorkDir; /* directory the module writes the calibration files into */
} tag_CalibDataReq_1;

/* PrintOption bits. */
#define PRTSTRUCT3_PO_MICROWEAVE 0x1u
#define PRTSTRUCT3_PO_MICROWEAVE_SP 0x2u
#define PRTSTRUCT3_PO_BI_DIRECTION 0x4u
#define PRTSTRUCT3_PO_GRTN_HPAT 0x200u
#define PRTSTRUCT3_PO_MICROWEAVE_SP2 0x400u
#define PRTSTRUCT3_PO_MICROWEAVE_P3 0x800u

/* JobOption bits. */
#define PRTSTRUCT3_JO_PACKET_SPOOL_OUT 0x2u
#define PRTSTRUCT3_JO_COPIES 0x4u
#define PRTSTRUCT3_JO_T4_MODE 0x10010u
#define PRTSTRUCT3_JO_CUT 0x20u
#define PRTSTRUCT3_JO_CUTLINE 0x40u
#define PRTSTRUCT3_JO_EMPTY_PAPER_PRINT 0x200u
#define PRTSTRUCT3_JO_SAVE_PAPER 0x800u
#define PRTSTRUCT3_JO_2SIDE_MODE_2 0x1000u
#define PRTSTRUCT3_JO_2SIDE_MANUAL_REVERSE 0x2000u
#define PRTSTRUCT3_JO_DSPRT_JOB_POS_1 0x4000u
#define PRTSTRUCT3_JO_DSPRT_JOB_POS_2 0x8000u
#define PRTSTRUCT3_JO_COMPOSITE_BK_PRINT 0x40000u
#define PRTSTRUCT3_JO_TEAROFF_AUTO 0x80000u
#define PRTSTRUCT3_JO_SILENT_MODE 0x200000u
#define PRTSTRUCT3_JO_2SIDE_MODE_1 0x400000u
#define PRTSTRUCT3_JO_JSJE_DONT_SEND 0x800000u
#define PRTSTRUCT3_JO_QUICK_PAPERFEED 0x1000000u
#define PRTSTRUCT3_JO_PLATEN_PRINT_BLOCK 0x2000000u
#define PRTSTRUCT3_JO_NEXTPAGE_INFO_SEND 0x8000000u
#define PRTSTRUCT3_JO_ALWAYS 0x80000000u

/* OptionEx2 bits. */
#define OPT_EX2_1HD_BIT 0x10u
#define OPT_EX2_ALWAYS 0x20u
#define OPT_EX2_EDGE_QUALITY_1 0x40u

typedef struct tagPRTSTRUCT3_12 {
  uint16_t Version; /* 12 */
  uint16_t Reserved1;
  int32_t InputFormat;
  int32_t Mode;
  int32_t ImageResX;
  int32_t ImageResY;
  int32_t PrinterResX;
  int32_t PrinterResY;
  int32_t PaperWidth;  /* image dots */
  int32_t PaperLength; /* image dots */
  int32_t ImageWidth;
  int32_t ImageHeight;
  int32_t PrintWidth;
  int32_t PrintHeight;
  int32_t OriginX;
  int32_t OriginY;
  int32_t MediaType;
  int32_t Reserved2;
  int32_t Copies;
  uint32_t PrintOption;
  uint32_t JobOption;
  int32_t Reserved3;
  int32_t PaperBin;
  int32_t Reserved4;
  uint16_t Reserved5;
  uint16_t Reserved6;
  struct tagRCMDSTRUCT* lpRemoteCommand;
  int32_t SubMode;
  struct tagCUTCMD* lpCutCommand;
  int32_t Reserved7;
  char* lpReservedText;
  struct tagMEDIAOPT* lpMediaOption;
  struct tagJOBDATA* lpJobData;
  struct tagTRIMINFO* lpTrimInfo;
  int32_t Reserved8;
  struct tagHEADINFO* lpHeadInfo;
  uint32_t OptionEx2;
  char* lpModulePath;
  struct tagBRSData* lpBRSData;
  void* lpReservedArray;
  void* lpReserved1;
  void* lpReserved2;
  void* lpReserved3;
} tagPRTSTRUCT3_12;

typedef struct tagHTSTRUCT3_5 {
  uint16_t Version; /* 5 */
  uint16_t Reserved1;
  int32_t Intent;
  int32_t Flag;
  int32_t HalftoneType;
  int32_t Reserved2[6];
  int32_t Gamma;
  int32_t Reserved3;
  void* lpReservedArrayA;
  char* lpReservedTextA;
  void* lpReservedArrayB;
  unsigned char* lpCalibData; /* no length: the module knows the file format */
  char* lpReservedTextB;
  void* lpGRTNParams; /* tagGRTN_PARAMS_1 */
  int32_t Reserved4[2];
} tagHTSTRUCT3_5;

/* ---- Layout checks (64-bit / 32-bit) ------------------------------------ */

QXOL_CHECK_SIZE(tagCUTCMD, 12, 12);
QXOL_CHECK_FIELD(tagCUTCMD, Version, 0, 0);
QXOL_CHECK_FIELD(tagCUTCMD, CutMode, 2, 2);
QXOL_CHECK_FIELD(tagCUTCMD, Reserved1, 4, 4);
QXOL_CHECK_FIELD(tagCUTCMD, Reserved2, 8, 8);

QXOL_CHECK_SIZE(tagRCMDSTRUCT, 16, 8);
QXOL_CHECK_FIELD(tagRCMDSTRUCT, lpCommand, 0, 0);
QXOL_CHECK_FIELD(tagRCMDSTRUCT, CommandSize, 8, 4);

QXOL_CHECK_SIZE(tagTRIMINFO, 28, 28);

QXOL_CHECK_SIZE(tagOPTION, 48, 24);
QXOL_CHECK_FIELD(tagOPTION, lpHTModulePath, 0, 0);
QXOL_CHECK_FIELD(tagOPTION, lpMWModulePath, 8, 4);
QXOL_CHECK_FIELD(tagOPTION, lpResourcePaths, 16, 8);
QXOL_CHECK_FIELD(tagOPTION, ResourcePathCount, 24, 12);
QXOL_CHECK_FIELD(tagOPTION, OutputCallback, 32, 16);
QXOL_CHECK_FIELD(tagOPTION, CallbackContext, 40, 20);

QXOL_CHECK_SIZE(tagTPINFOSTRUCT, 8, 8);
QXOL_CHECK_FIELD(tagTPINFOSTRUCT, Version, 0, 0);
QXOL_CHECK_FIELD(tagTPINFOSTRUCT, Reserved1, 2, 2);
QXOL_CHECK_FIELD(tagTPINFOSTRUCT, NormalEnd, 4, 4);

QXOL_CHECK_SIZE(tagOSDEP4, 28, 28);

QXOL_CHECK_SIZE(tagGRTN_PARAMS_1, 36, 36);

QXOL_CHECK_SIZE(tagHEADINFO_2, 24, 12);
QXOL_CHECK_FIELD(tagHEADINFO_2, Version, 0, 0);
QXOL_CHECK_FIELD(tagHEADINFO_2, lpHeadData, 8, 4);
QXOL_CHECK_FIELD(tagHEADINFO_2, HeadDataSize, 16, 8);

QXOL_CHECK_SIZE(tagMEDIAOPT_8, 120, 120);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, Version, 0, 0);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, reserved1, 2, 2);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, valid_mask, 4, 4);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, reserved2, 8, 8);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, feed_offset, 12, 12);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, wait_time_per_path, 14, 14);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, paper_thick, 16, 16);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, vacuum_intensity, 18, 18);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, reserved3, 20, 20);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, wait_time_per_page, 24, 24);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, platen_gap, 26, 26);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, reserved4, 28, 28);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, feed_roller_type, 30, 30);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, reserved5, 32, 32);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, pile_print, 34, 34);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, reserved6, 36, 36);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, top_margin, 48, 48);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, reserved7, 50, 50);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, ink_density_ratio, 52, 52);
QXOL_CHECK_FIELD(tagMEDIAOPT_8, ex07m2_dont_send, 116, 116);

QXOL_CHECK_SIZE(tagHDDOPTION, 8, 8);

QXOL_CHECK_SIZE(tagJOBDATA_6, 144, 80);
QXOL_CHECK_FIELD(tagJOBDATA_6, Version, 0, 0);
QXOL_CHECK_FIELD(tagJOBDATA_6, Reserved1, 2, 2);
QXOL_CHECK_FIELD(tagJOBDATA_6, lpData, 8, 4);
QXOL_CHECK_FIELD(tagJOBDATA_6, DataSize, 16, 8);
QXOL_CHECK_FIELD(tagJOBDATA_6, lpOwnerName, 24, 12);
QXOL_CHECK_FIELD(tagJOBDATA_6, OwnerNameSize, 32, 16);
QXOL_CHECK_FIELD(tagJOBDATA_6, lpDocName, 40, 20);
QXOL_CHECK_FIELD(tagJOBDATA_6, DocNameSize, 48, 24);
QXOL_CHECK_FIELD(tagJOBDATA_6, lpHostName, 56, 28);
QXOL_CHECK_FIELD(tagJOBDATA_6, HostNameSize, 64, 32);
QXOL_CHECK_FIELD(tagJOBDATA_6, HostNameType, 68, 36);
QXOL_CHECK_FIELD(tagJOBDATA_6, JobID, 72, 40);
QXOL_CHECK_FIELD(tagJOBDATA_6, lpVenderInfo, 80, 44);
QXOL_CHECK_FIELD(tagJOBDATA_6, VenderInfoSize, 88, 48);
QXOL_CHECK_FIELD(tagJOBDATA_6, lpOSInfo, 96, 52);
QXOL_CHECK_FIELD(tagJOBDATA_6, OSInfoSize, 104, 56);
QXOL_CHECK_FIELD(tagJOBDATA_6, lpMediaInfo, 112, 60);
QXOL_CHECK_FIELD(tagJOBDATA_6, MediaInfoSize, 120, 64);
QXOL_CHECK_FIELD(tagJOBDATA_6, lpHDDOption, 128, 68);
QXOL_CHECK_FIELD(tagJOBDATA_6, HDDOptionSize, 136, 72);
QXOL_CHECK_FIELD(tagJOBDATA_6, DisablePrinterErrorCheck, 140, 76);

QXOL_CHECK_SIZE(tagBRSData_4, 104, 52);
QXOL_CHECK_FIELD(tagBRSData_4, Version, 0, 0);
QXOL_CHECK_FIELD(tagBRSData_4, lpBRSFilePath, 8, 4);
QXOL_CHECK_FIELD(tagBRSData_4, lpReservedText1, 16, 8);
QXOL_CHECK_FIELD(tagBRSData_4, lpCDGFilePath, 24, 12);
QXOL_CHECK_FIELD(tagBRSData_4, lpBZ1Data, 32, 16);
QXOL_CHECK_FIELD(tagBRSData_4, BZ1DataSize, 40, 20);
QXOL_CHECK_FIELD(tagBRSData_4, lpCA1Data, 48, 24);
QXOL_CHECK_FIELD(tagBRSData_4, CA1DataSize, 56, 28);
QXOL_CHECK_FIELD(tagBRSData_4, lpReservedText2, 64, 32);
QXOL_CHECK_FIELD(tagBRSData_4, lpReservedText3, 72, 36);
QXOL_CHECK_FIELD(tagBRSData_4, lpECalibPath, 80, 40);
QXOL_CHECK_FIELD(tagBRSData_4, lpEECCalibData, 88, 44);
QXOL_CHECK_FIELD(tagBRSData_4, EECCalibDataSize, 96, 48);

QXOL_CHECK_SIZE(tag_CalibDataReq_1, 40, 20);
QXOL_CHECK_FIELD(tag_CalibDataReq_1, Version, 0, 0);
QXOL_CHECK_FIELD(tag_CalibDataReq_1, lpToolPath, 8, 4);
QXOL_CHECK_FIELD(tag_CalibDataReq_1, PrinterType, 16, 8);
QXOL_CHECK_FIELD(tag_CalibDataReq_1, lpPrinterName, 24, 12);
QXOL_CHECK_FIELD(tag_CalibDataReq_1, lpWorkDir, 32, 16);

QXOL_CHECK_SIZE(tagPRTSTRUCT3_12, 232, 164);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, Version, 0, 0);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, Reserved1, 2, 2);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, InputFormat, 4, 4);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, Mode, 8, 8);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, ImageResX, 12, 12);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, ImageResY, 16, 16);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, PrinterResX, 20, 20);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, PrinterResY, 24, 24);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, PaperWidth, 28, 28);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, PaperLength, 32, 32);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, ImageWidth, 36, 36);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, ImageHeight, 40, 40);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, PrintWidth, 44, 44);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, PrintHeight, 48, 48);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, OriginX, 52, 52);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, OriginY, 56, 56);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, MediaType, 60, 60);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, Reserved2, 64, 64);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, Copies, 68, 68);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, PrintOption, 72, 72);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, JobOption, 76, 76);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, Reserved3, 80, 80);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, PaperBin, 84, 84);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, Reserved4, 88, 88);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, Reserved5, 92, 92);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, Reserved6, 94, 94);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, lpRemoteCommand, 96, 96);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, SubMode, 104, 100);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, lpCutCommand, 112, 104);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, Reserved7, 120, 108);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, lpReservedText, 128, 112);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, lpMediaOption, 136, 116);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, lpJobData, 144, 120);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, lpTrimInfo, 152, 124);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, Reserved8, 160, 128);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, lpHeadInfo, 168, 132);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, OptionEx2, 176, 136);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, lpModulePath, 184, 140);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, lpBRSData, 192, 144);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, lpReservedArray, 200, 148);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, lpReserved1, 208, 152);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, lpReserved2, 216, 156);
QXOL_CHECK_FIELD(tagPRTSTRUCT3_12, lpReserved3, 224, 160);

QXOL_CHECK_SIZE(tagHTSTRUCT3_5, 104, 80);
QXOL_CHECK_FIELD(tagHTSTRUCT3_5, Version, 0, 0);
QXOL_CHECK_FIELD(tagHTSTRUCT3_5, Reserved1, 2, 2);
QXOL_CHECK_FIELD(tagHTSTRUCT3_5, Intent, 4, 4);
QXOL_CHECK_FIELD(tagHTSTRUCT3_5, Flag, 8, 8);
QXOL_CHECK_FIELD(tagHTSTRUCT3_5, HalftoneType, 12, 12);
QXOL_CHECK_FIELD(tagHTSTRUCT3_5, Reserved2, 16, 16);
QXOL_CHECK_FIELD(tagHTSTRUCT3_5, Gamma, 40, 40);
QXOL_CHECK_FIELD(tagHTSTRUCT3_5, Reserved3, 44, 44);
QXOL_CHECK_FIELD(tagHTSTRUCT3_5, lpReservedArrayA, 48, 48);
QXOL_CHECK_FIELD(tagHTSTRUCT3_5, lpReservedTextA, 56, 52);
QXOL_CHECK_FIELD(tagHTSTRUCT3_5, lpReservedArrayB, 64, 56);
QXOL_CHECK_FIELD(tagHTSTRUCT3_5, lpCalibData, 72, 60);
QXOL_CHECK_FIELD(tagHTSTRUCT3_5, lpReservedTextB, 80, 64);
QXOL_CHECK_FIELD(tagHTSTRUCT3_5, lpGRTNParams, 88, 68);
QXOL_CHECK_FIELD(tagHTSTRUCT3_5, Reserved4, 96, 72);

#ifdef __cplusplus
}
#endif

#endif /* DORVA_RECORDS_H */
