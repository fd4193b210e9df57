// The bytes of a DBC file as UTF-8 text: DBC files come in UTF-8, in GBK
// from Chinese tools, and in Latin-1 (cp1252) from the older European
// ones, with nothing in them that says which. Pure logic: GBK is decoded
// through the CodePage the caller hands in.
#pragma once
#include <string>

#include "common/PayloadText.h"

enum DbcEncoding { kDbcAuto, kDbcUtf8, kDbcGbk, kDbcLatin1 };

// "utf-8", "gbk", "latin-1"; and back (false for another word).
const char* DbcEncodingName(DbcEncoding encoding);
bool DbcEncodingOfName(const std::string& name, DbcEncoding* encoding);

// bytes as UTF-8 in *utf8, and the encoding taken. kDbcAuto: UTF-8 when the
// bytes are valid UTF-8 (a BOM is dropped); else GBK when gbk decodes them
// whole and every double-byte character lies in GB2312's rows (lead byte
// A1-F7, second A1-FE: Chinese text, where Latin-1 text has a letter after
// each accented one); else Latin-1, which takes any bytes. A named
// encoding is taken as it is: false when the bytes are not in it.
bool DecodeDbcText(const std::string& bytes, DbcEncoding wanted, const CodePage& gbk, std::string* utf8,
                   DbcEncoding* taken);
