// A communication matrix (通信矩阵), the spreadsheet a lab keeps its
// messages and signals in, saved as CSV: read into what a DBC would say
// (signals/DbcFile.h), so that one import (signals/DbcImport.h) makes the
// signal file of either. Pure logic, text in UTF-8 (the caller decodes the
// file first: signals/DbcEncoding.h).
//
// The first row that is not blank names the columns, in Chinese or English
// (a unit in brackets after a name, "报文周期(ms)", is allowed): 报文名称
// Message, 报文标识符 ID (hex, 0x optional; above 7FF a 29-bit identifier),
// 信号名称 Signal, 起始位 Start bit, 信号长度 Length (1 to 64), 排列格式
// Byte order (Intel, Motorola or Motorola MSB: the start bit is the MSB as
// DBC counts it; Motorola LSB: the LSB), 数据类型 Signed (Unsigned, Signed,
// Float, Double, 无符号, 有符号), 精度 Factor, 偏移量 Offset, 物理最小值 Min,
// 物理最大值 Max, 单位 Unit, 信号值描述 Value table ("0x0:Off;0x1:On"),
// 报文周期 Cycle time (ms), 报文长度 DLC. The first five must be there; a
// column not known is a note. Each row below is a signal; a row whose
// message cells are empty belongs to the message above it (merged cells),
// a row with no signal name states only its message. Every mistake is an
// error at FILE:LINE:COLUMN, the first kMaxDbcErrors of them.
#pragma once
#include <string>
#include <vector>

#include "signals/DbcFile.h"

// False with *errors as ReadDbcFile's; *file holds the rows that read.
bool ReadMatrixCsv(const std::string& text, const std::string& fileName, DbcFile* file, std::vector<std::string>* errors);

// Whether an import takes the file as a matrix: its name ends in .csv (any case).
bool IsMatrixCsvName(const std::string& fileName);
