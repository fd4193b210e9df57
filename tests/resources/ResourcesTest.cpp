// Reads the console's resources back out of this program, which links the same
// compiled .rc: the main dialog as Windows loads it (each control at its id
// with its class, caption and behaviour; the combo lists in order), the About
// box, icon, strings and version byte by byte. A control out of order or a
// garbled Chinese caption looks fine in an editor and wrong at run time.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "res/resource.h"

namespace {

const WORD kChinesePrc = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);  // 0x0804
const DWORD kShown = WS_CHILD | WS_VISIBLE;
// The standard types, wide whatever UNICODE says.
const LPCWSTR kIconImage = MAKEINTRESOURCEW(3);   // RT_ICON
const LPCWSTR kDialog = MAKEINTRESOURCEW(5);      // RT_DIALOG
const LPCWSTR kIconGroup = MAKEINTRESOURCEW(14);  // RT_GROUP_ICON
const LPCWSTR kVersion = MAKEINTRESOURCEW(16);    // RT_VERSION
const LPCWSTR kDlgInit = MAKEINTRESOURCEW(240);
const WORD kAddString = 0x0403;  // CB_ADDSTRING

// The Chinese texts are written as escapes so that this file's encoding cannot
// hide a fault in the .rc's.
const wchar_t kSimSun[] = L"\u5B8B\u4F53";                   // 宋体
const wchar_t kCancel[] = L"\u53D6\u6D88";                   // 取消
const wchar_t kAboutCaption[] = L"\u5173\u4E8E corvane";      // 关于 corvane
const wchar_t kAboutMenuItem[] = L"\u5173\u4E8E corvane(&A)...";
const wchar_t kVersionLine[] = L"corvane 1.0 \u7248";         // corvane 1.0 版
const wchar_t kOk[] = L"\u786E\u5B9A";                        // 确定
const wchar_t kAboutSecondLine[] = L"\u4E00\u4E2A VELK \u603B\u7EBF\u7684\u6D4B\u8BD5\u53F0";  // 一个 VELK 总线的测试台

struct Blob {
    const BYTE* data;
    DWORD size;
};

Blob LoadChineseResource(LPCWSTR type, LPCWSTR name)
{
    Blob blob = {nullptr, 0};
    HRSRC found = FindResourceExW(nullptr, type, name, kChinesePrc);
    if (found == nullptr)
        return blob;
    HGLOBAL loaded = LoadResource(nullptr, found);
    blob.data = static_cast<const BYTE*>(LockResource(loaded));
    blob.size = SizeofResource(nullptr, found);
    return blob;
}

// Walks a resource's bytes; reading past the end yields zeros and sets overrun,
// so a short or malformed template fails the test instead of crashing it.
class Reader {
public:
    explicit Reader(Blob blob) : base_(blob.data), size_(blob.size) {}

    bool overrun() const { return overrun_; }
    bool atEnd() const { return pos_ == size_; }
    size_t pos() const { return pos_; }

    BYTE Byte()
    {
        BYTE b = 0;
        Read(&b, 1);
        return b;
    }
    WORD Word()
    {
        WORD w = 0;
        Read(&w, 2);
        return w;
    }
    DWORD Dword()
    {
        DWORD d = 0;
        Read(&d, 4);
        return d;
    }
    short Short() { return static_cast<short>(Word()); }

    std::wstring Text()
    {
        std::wstring text;
        for (WORD c = Word(); c != 0 && !overrun_; c = Word())
            text += static_cast<wchar_t>(c);
        return text;
    }

    std::string Narrow(size_t count)
    {
        std::string text(count, '\0');
        if (count > 0)
            Read(&text[0], count);
        return text;
    }

    // A name-or-ordinal field: an ordinal reads as "#n", as Windows writes them.
    std::wstring NameOrOrdinal()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            return L"#" + std::to_wstring(Word());
        pos_ -= 2;
        return Text();
    }

    void AlignDword()
    {
        pos_ = (pos_ + 3) & ~static_cast<size_t>(3);
        if (pos_ > size_) {
            pos_ = size_;
            overrun_ = true;
        }
    }

    void Seek(size_t pos)
    {
        pos_ = std::min(pos, size_);
        overrun_ = overrun_ || pos > size_;
    }

private:
    void Read(void* out, size_t count)
    {
        if (base_ == nullptr || size_ - pos_ < count) {
            overrun_ = true;
            pos_ = size_;
            return;
        }
        std::memcpy(out, base_ + pos_, count);
        pos_ += count;
    }

    const BYTE* base_;
    size_t size_;
    size_t pos_ = 0;
    bool overrun_ = false;
};

// The predefined control classes are stored as atoms.
std::wstring ClassOf(const std::wstring& field)
{
    if (field == L"#128") return L"Button";
    if (field == L"#129") return L"Edit";
    if (field == L"#130") return L"Static";
    if (field == L"#133") return L"ComboBox";
    return L"not an atom: " + field;
}

struct Control {
    int id;
    const wchar_t* cls;
    const wchar_t* caption;
    short x, y, cx, cy;
    DWORD style;
};

bool operator==(const Control& a, const Control& b)
{
    return a.id == b.id && std::wstring(a.cls) == b.cls && std::wstring(a.caption) == b.caption &&
           a.x == b.x && a.y == b.y && a.cx == b.cx && a.cy == b.cy && a.style == b.style;
}

std::ostream& operator<<(std::ostream& out, const Control& c)
{
    std::string cls(c.cls, c.cls + std::wcslen(c.cls));
    std::string caption;
    for (const wchar_t* p = c.caption; *p; ++p)
        caption += *p < 0x80 ? static_cast<char>(*p) : '?';
    char style[16];
    std::snprintf(style, sizeof style, "0x%08lX", static_cast<unsigned long>(c.style));
    return out << "{" << c.id << ", " << cls << ", \"" << caption << "\", " << c.x << "," << c.y << ","
               << c.cx << "," << c.cy << ", " << style << "}";
}

// The main dialog's controls in tab order, by the ids their handlers use:
// class, caption and what makes each behave as it does (BehaviourOf).
struct MainControl {
    int id;
    const wchar_t* cls;
    const wchar_t* caption;
    DWORD behaviour;
};

const MainControl kMainControls[] = {
    {IDOK, L"Button", L"CLOSE", BS_DEFPUSHBUTTON},
    {IDCANCEL, L"Button", kCancel, BS_PUSHBUTTON},
    {IDC_VALUE, L"Edit", L"", ES_NUMBER},
    {IDC_SEND, L"Button", L"Send", BS_PUSHBUTTON},
    {IDC_CHANNEL, L"Edit", L"", ES_NUMBER},
    {IDC_STATIC, L"Static", L"CH", SS_LEFT},
    {IDC_SEND_STR, L"Button", L"Send Str", BS_PUSHBUTTON},
    {IDC_DIR, L"ComboBox", L"", CBS_DROPDOWN},
    {IDC_STATIC, L"Static", L"DIR", SS_LEFT},
    {IDC_STATIC, L"Static", L"=", SS_LEFT},
    {IDC_TYPE, L"ComboBox", L"", CBS_DROPDOWN},
    {IDC_STATIC, L"Static", L"TYPE", SS_LEFT},
    {IDC_STRING, L"Edit", L"", 0},
    {IDC_ARRAY, L"Edit", L"", 0},
    {IDC_SEND_ARR, L"Button", L"Send Arr", BS_PUSHBUTTON},
    {IDC_DEP, L"Button", L"DEP", BS_AUTOCHECKBOX},
    {IDC_ADC, L"Button", L"ADC", BS_AUTOCHECKBOX},
    {IDC_WTC, L"Button", L"WTC", BS_AUTOCHECKBOX},
    {IDC_CNT, L"Button", L"CNT", BS_AUTOCHECKBOX},
    {IDC_TMR, L"Button", L"TMR", BS_AUTOCHECKBOX},
    {IDC_STOPALL, L"Button", L"StopAll", BS_PUSHBUTTON},
    {IDC_VARINFO, L"Static", L"Varinfo", SS_LEFT},
    {IDC_HANDLEINFO, L"Static", L"HandleInfo", SS_LEFT},
    {IDC_REFRESH, L"Button", L"Refresh", BS_PUSHBUTTON},
    {IDC_STATIC, L"Button", L"PUBLIC VARS", BS_GROUPBOX},
    {IDC_STATIC, L"Button", L"HANDLES AND MASK", BS_GROUPBOX},
    {IDC_VAR_INDEX, L"Edit", L"", ES_NUMBER},
    {IDC_VAR_VALUE, L"Edit", L"", ES_NUMBER},
    {IDC_MODIFY, L"Button", L"Modify", BS_PUSHBUTTON},
    {IDC_STR, L"Button", L"STR", BS_AUTOCHECKBOX},
    {IDC_ARR, L"Button", L"ARR", BS_AUTOCHECKBOX},
    {IDC_CTL, L"Button", L"CTL", BS_AUTOCHECKBOX},
    {IDC_ABS, L"Button", L"ABS", BS_AUTOCHECKBOX},
    {IDC_LOG, L"Static", L"Owner Draw", SS_LEFT},
    {IDC_CLEAR, L"Button", L"Clear", BS_PUSHBUTTON},
    {IDC_INFO, L"Edit", L"", ES_MULTILINE | ES_READONLY},
    {IDC_STATIC, L"Static", L"=", SS_CENTER},
    {IDC_END_SESSION, L"Button", L"END_SESSION", BS_PUSHBUTTON},
};

// The style bits that decide what a control of the class does: a button's
// kind, a static's alignment, an edit's input rules, a combo box's kind.
DWORD BehaviourOf(const std::wstring& cls, DWORD style)
{
    if (cls == L"Button")
        return style & BS_TYPEMASK;
    if (cls == L"Static")
        return style & SS_TYPEMASK;
    if (cls == L"Edit")
        return style & (ES_NUMBER | ES_READONLY | ES_MULTILINE);
    if (cls == L"ComboBox")
        return style & 3;   // simple, drop-down or drop-down list
    return 0xFFFFFFFF;
}

// The icon's caption is its resource id; the second line is ours to choose.
const Control kAboutControls[] = {
    {IDC_STATIC, L"Static", L"#128", 11, 17, 20, 20, kShown | SS_ICON},
    {IDC_STATIC, L"Static", kVersionLine, 40, 10, 119, 8, kShown | SS_LEFT | SS_NOPREFIX | WS_GROUP},
    {IDC_STATIC, L"Static", kAboutSecondLine, 40, 25, 119, 8, kShown | SS_LEFT | WS_GROUP},
    {IDOK, L"Button", kOk, 178, 7, 50, 14, kShown | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP},
};

std::string Describe(LPCWSTR id)
{
    if (IS_INTRESOURCE(id))
        return std::to_string(reinterpret_cast<ULONG_PTR>(id));
    std::string name;
    for (const wchar_t* p = id; *p; ++p)
        name += static_cast<char>(*p);
    return name;
}

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR inventory)
{
    // Icon images are numbered by the resource compiler, not by us.
    std::string entry = Describe(type) + "/" + (type == kIconImage ? std::string("*") : Describe(name));
    char lang[8];
    std::snprintf(lang, sizeof lang, "%04X", language);
    reinterpret_cast<std::vector<std::string>*>(inventory)->push_back(entry + "/" + lang);
    return TRUE;
}

BOOL CALLBACK AddName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR inventory)
{
    EnumResourceLanguagesW(module, type, name, AddLanguage, inventory);
    return TRUE;
}

BOOL CALLBACK AddType(HMODULE module, LPWSTR type, LONG_PTR inventory)
{
    EnumResourceNamesW(module, type, AddName, inventory);
    return TRUE;
}

TEST(Resources, EveryResourceIsSimplifiedChineseAndThereIsNoManifest)
{
    std::vector<std::string> inventory;
    EnumResourceTypesW(nullptr, AddType, reinterpret_cast<LONG_PTR>(&inventory));
    std::sort(inventory.begin(), inventory.end());

    // RT_ICON 3, RT_DIALOG 5, RT_STRING 6 (block 7 holds ids 96..111), RT_GROUP_ICON 14,
    // RT_VERSION 16, dialog initialisation 240. A manifest (type 24) must not be here.
    std::vector<std::string> expected = {
        "14/128/0804", "16/1/0804", "240/102/0804", "3/*/0804", "5/100/0804",
        "5/102/0804",  "6/7/0804",  "AFX_DIALOG_LAYOUT/102/0804",
    };
    EXPECT_EQ(expected, inventory);
}

TEST(MainDialogTemplate, ComboListsAreDialogInitialisationRecords)
{
    struct Record {
        WORD control;
        std::string text;
    };
    const std::vector<Record> expected = {
        {IDC_DIR, "Read Value"}, {IDC_DIR, "Write Value"}, {IDC_DIR, "Read Para"}, {IDC_DIR, "Write Para"},
        {IDC_TYPE, "Depth"},     {IDC_TYPE, "A/D"},        {IDC_TYPE, "Timer"},    {IDC_TYPE, "Counter"},
        {IDC_TYPE, "WTC"},       {IDC_TYPE, "ABS"},        {IDC_TYPE, "CONTROL"},  {IDC_TYPE, "String"},
        {IDC_TYPE, "Array"},
    };

    Reader r(LoadChineseResource(kDlgInit, MAKEINTRESOURCEW(IDD_CORVANE_DIALOG)));
    std::vector<Record> records;
    for (WORD control = r.Word(); control != 0 && !r.overrun(); control = r.Word()) {
        EXPECT_EQ(kAddString, r.Word()) << "message of record " << records.size() + 1;
        const DWORD length = r.Dword();
        ASSERT_GT(length, 0u);
        ASSERT_LT(length, 256u) << "length of record " << records.size() + 1;
        std::string data = r.Narrow(length);
        EXPECT_EQ('\0', data.back()) << "the length counts the NUL";
        data.pop_back();
        EXPECT_EQ(std::string::npos, data.find('\0')) << "no NUL inside a text";
        records.push_back({control, data});
    }
    EXPECT_FALSE(r.overrun()) << "records run past the end without the closing 0";
    EXPECT_TRUE(r.atEnd()) << "bytes after the closing record";
    ASSERT_EQ(expected.size(), records.size());
    for (size_t n = 0; n < expected.size(); ++n) {
        EXPECT_EQ(expected[n].control, records[n].control) << "record " << n + 1;
        EXPECT_EQ(expected[n].text, records[n].text) << "record " << n + 1;
    }
}

TEST(MainDialogTemplate, DynamicLayoutMovesNothing)
{
    Blob layout = LoadChineseResource(L"AFX_DIALOG_LAYOUT", MAKEINTRESOURCEW(IDD_CORVANE_DIALOG));
    ASSERT_NE(nullptr, layout.data);
    ASSERT_EQ(2u, layout.size);
    EXPECT_EQ(0, layout.data[0]);
    EXPECT_EQ(0, layout.data[1]);
}

INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// The template loads as the console's dialog: its caption and SimSun font, an
// application window of its own, every control at its id in tab order with
// its class, caption and behaviour, all shown but the hidden Cancel button,
// the combo boxes real drop-downs with edit parts.
TEST(MainDialogTemplate, LoadsWithEveryControlAtItsId)
{
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CORVANE_DIALOG), nullptr,
                                     IgnoreMessages, 0);
    ASSERT_NE(nullptr, dialog);

    wchar_t caption[64] = {};
    GetWindowTextW(dialog, caption, 64);
    EXPECT_STREQ(L"VELK Test Dialog(Version 2.0)", caption);
    EXPECT_NE(0, GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW) << "a taskbar button of its own";
    LOGFONTW font = {};
    ASSERT_NE(0, GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font));
    EXPECT_STREQ(kSimSun, font.lfFaceName);

    size_t n = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT), ++n) {
        ASSERT_LT(n, sizeof kMainControls / sizeof kMainControls[0]) << "more controls than the dialog has";
        const MainControl& expected = kMainControls[n];
        wchar_t cls[32] = {}, text[64] = {};
        GetClassNameW(child, cls, 32);
        GetWindowTextW(child, text, 64);
        const DWORD style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
        EXPECT_EQ(expected.id, GetDlgCtrlID(child)) << "control " << n + 1;
        EXPECT_EQ(0, lstrcmpiW(expected.cls, cls)) << "control " << n + 1;
        EXPECT_STREQ(expected.caption, text) << "control " << n + 1;
        EXPECT_EQ(expected.behaviour, BehaviourOf(expected.cls, style)) << "control " << n + 1;
        EXPECT_EQ(expected.id != IDCANCEL, (style & WS_VISIBLE) != 0) << "control " << n + 1;
    }
    EXPECT_EQ(sizeof kMainControls / sizeof kMainControls[0], n);

    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDCANCEL)));
    COMBOBOXINFO combo = {};
    combo.cbSize = sizeof combo;
    ASSERT_TRUE(GetComboBoxInfo(GetDlgItem(dialog, IDC_DIR), &combo));
    EXPECT_NE(nullptr, combo.hwndItem) << "an editable drop-down has an edit part";
    DestroyWindow(dialog);
}

TEST(AboutTemplate, ClassicFormWithIconTextsAndOk)
{
    Reader r(LoadChineseResource(kDialog, MAKEINTRESOURCEW(IDD_ABOUTBOX)));
    EXPECT_EQ(0x80C800C0u, r.Dword()) << "style";
    EXPECT_EQ(0u, r.Dword()) << "extended style";
    ASSERT_EQ(4, r.Word()) << "controls";
    EXPECT_EQ(0, r.Short());
    EXPECT_EQ(0, r.Short());
    EXPECT_EQ(235, r.Short());
    EXPECT_EQ(55, r.Short());
    EXPECT_EQ(L"", r.NameOrOrdinal()) << "menu";
    EXPECT_EQ(L"", r.NameOrOrdinal()) << "window class";
    EXPECT_EQ(kAboutCaption, r.Text());
    EXPECT_EQ(9, r.Word()) << "point size";
    EXPECT_EQ(kSimSun, r.Text());

    for (const Control& expected : kAboutControls) {
        r.AlignDword();
        const DWORD style = r.Dword();
        EXPECT_EQ(0u, r.Dword()) << "extended style";
        const short x = r.Short(), y = r.Short(), cx = r.Short(), cy = r.Short();
        const int id = static_cast<short>(r.Word());
        const std::wstring cls = ClassOf(r.NameOrOrdinal());
        const std::wstring caption = r.NameOrOrdinal();
        EXPECT_EQ(0, r.Word()) << "creation data";
        ASSERT_FALSE(r.overrun());

        const Control actual = {id, cls.c_str(), caption.c_str(), x, y, cx, cy, style};
        EXPECT_EQ(expected, actual);
    }
    EXPECT_TRUE(r.atEnd());

    // A wrong icon reference still makes a dialog, only with an empty picture.
    HWND about = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX), nullptr,
                                    IgnoreMessages, 0);
    ASSERT_NE(nullptr, about);
    EXPECT_NE(0, SendMessageW(GetWindow(about, GW_CHILD), STM_GETICON, 0, 0)) << "icon 128 shown";
    DestroyWindow(about);
}

TEST(AboutMenuString, IsExactUtf16AndReachesTheNarrowApiAsGbk)
{
    const wchar_t* text = nullptr;
    int length = LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, reinterpret_cast<LPWSTR>(&text), 0);
    ASSERT_GT(length, 0);
    EXPECT_EQ(std::wstring(kAboutMenuItem), std::wstring(text, length));

    // The console appends it to the system menu through the narrow API; on the
    // Chinese code page that must be GBK, not question marks.
    if (GetACP() == 936) {
        char narrow[64] = {};
        LoadStringA(GetModuleHandleW(nullptr), IDS_ABOUTBOX, narrow, sizeof narrow);
        EXPECT_STREQ("\xB9\xD8\xD3\xDA corvane(&A)...", narrow);
    }
}

// The icon as stored: 32x32, 16 colours, colour bits then mask bits, rows bottom first.
class IconImage {
public:
    explicit IconImage(Blob image) : image_(image) {}

    bool opaque(int x, int y) const
    {
        const BYTE* mask = image_.data + kHeader + kPalette + kColourBytes + (31 - y) * 4;
        return (mask[x / 8] & (0x80 >> (x % 8))) == 0;
    }

    COLORREF colour(int x, int y) const
    {
        const BYTE* row = image_.data + kHeader + kPalette + (31 - y) * 16;
        const int index = (x % 2 == 0) ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
        const BYTE* quad = image_.data + kHeader + index * 4;
        return RGB(quad[2], quad[1], quad[0]);
    }

    static constexpr DWORD kHeader = 40, kPalette = 16 * 4, kColourBytes = 32 * 16, kMaskBytes = 32 * 4;
    static constexpr DWORD kSize = kHeader + kPalette + kColourBytes + kMaskBytes;

private:
    Blob image_;
};

Blob IconImageBlob(WORD* bitCount)
{
    Reader group(LoadChineseResource(kIconGroup, MAKEINTRESOURCEW(IDR_MAINFRAME)));
    EXPECT_EQ(0, group.Word());
    EXPECT_EQ(1, group.Word()) << "type: icon";
    EXPECT_EQ(1, group.Word()) << "one image";
    EXPECT_EQ(32, group.Byte()) << "width";
    EXPECT_EQ(32, group.Byte()) << "height";
    EXPECT_EQ(16, group.Byte()) << "colours";
    group.Byte();
    EXPECT_EQ(1, group.Word()) << "planes";
    *bitCount = group.Word();
    const DWORD bytes = group.Dword();
    const WORD image = group.Word();
    EXPECT_TRUE(group.atEnd());
    EXPECT_FALSE(group.overrun());

    Blob blob = LoadChineseResource(kIconImage, MAKEINTRESOURCEW(image));
    EXPECT_EQ(bytes, blob.size) << "the group's size of the image";
    return blob;
}

TEST(Icon, OneImage32By32With16ColoursAndAMask)
{
    WORD bitCount = 0;
    Blob image = IconImageBlob(&bitCount);
    EXPECT_EQ(4, bitCount);
    ASSERT_EQ(IconImage::kSize, image.size) << "header, palette, colour bits and mask bits";

    Reader header(image);
    EXPECT_EQ(40u, header.Dword()) << "BITMAPINFOHEADER";
    EXPECT_EQ(32u, header.Dword()) << "width";
    EXPECT_EQ(64u, header.Dword()) << "height of colour bits and mask together";
    EXPECT_EQ(1, header.Word()) << "planes";
    EXPECT_EQ(4, header.Word()) << "bits per pixel";
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), header.Dword());

    HICON icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 32, 32, 0));
    ASSERT_NE(nullptr, icon) << "Windows loads it as an icon";
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    EXPECT_NE(nullptr, info.hbmMask);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    DestroyIcon(icon);
}

// The picture: "test" in dark blue at the top left, six green bars edged in white,
// right-aligned and longer from top to bottom, the last one the full width.
TEST(Icon, TextAboveAStaircaseOfSixBarsOnTransparency)
{
    WORD bitCount = 0;
    Blob blob = IconImageBlob(&bitCount);
    ASSERT_EQ(IconImage::kSize, blob.size);
    IconImage icon(blob);
    const COLORREF darkBlue = RGB(0, 0, 0x80), green = RGB(0, 0x80, 0), white = RGB(0xFF, 0xFF, 0xFF);

    int bluePixels = 0, greenPixels = 0, lowestBlueRow = -1;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (!icon.opaque(x, y)) {
                EXPECT_EQ(RGB(0, 0, 0), icon.colour(x, y)) << "transparent pixels are black under the mask";
                continue;
            }
            const COLORREF c = icon.colour(x, y);
            EXPECT_TRUE(c == darkBlue || c == green || c == white) << "pixel " << x << "," << y;
            if (c == darkBlue) {
                ++bluePixels;
                EXPECT_LT(x, 24) << "the word stays at the left";
                lowestBlueRow = y;
            }
            if (c == green)
                ++greenPixels;
        }
    }
    EXPECT_GT(bluePixels, 20);
    EXPECT_GT(greenPixels, 100);

    // Below the word each row is one run that ends at the right edge; its left end
    // steps left at each bar, so the staircase has six distinct starts.
    std::vector<int> starts;
    for (int y = lowestBlueRow + 1; y < 32; ++y) {
        int start = 32;
        while (start > 0 && icon.opaque(start - 1, y))
            --start;
        for (int x = 0; x < start; ++x)
            EXPECT_FALSE(icon.opaque(x, y)) << "gap in the bar at " << x << "," << y;
        if (start == 32)
            continue;
        EXPECT_EQ(white, icon.colour(start, y)) << "left edge of the bar in row " << y;
        if (starts.empty() || starts.back() != start) {
            EXPECT_TRUE(starts.empty() || start < starts.back()) << "bars grow longer downwards";
            starts.push_back(start);
            for (int x = start; x < 32; ++x)
                EXPECT_EQ(white, icon.colour(x, y)) << "top edge of the bar at " << x << "," << y;
        }
    }
    ASSERT_EQ(6u, starts.size());
    EXPECT_EQ(0, starts.back()) << "the last bar spans the whole width";
    EXPECT_TRUE(icon.opaque(0, 31));
    EXPECT_FALSE(icon.opaque(31, 0)) << "nothing above the top bar at the right";
}

// One node of a version block: length, value length, type, key, value, children.
struct VersionNode {
    std::wstring key;
    std::vector<BYTE> value;
    std::vector<VersionNode> children;
};

VersionNode ReadVersionNode(Reader& r, size_t end)
{
    VersionNode node;
    const size_t start = r.pos();
    const WORD length = r.Word();
    const WORD valueLength = r.Word();
    const WORD type = r.Word();  // 1: text, value length in characters
    node.key = r.Text();
    r.AlignDword();
    const size_t valueBytes = type == 1 ? valueLength * 2u : valueLength;
    for (size_t n = 0; n < valueBytes && !r.overrun(); ++n)
        node.value.push_back(r.Byte());
    const size_t nodeEnd = std::min(start + length, end);
    r.AlignDword();
    while (r.pos() < nodeEnd && !r.overrun() && length > 0) {
        node.children.push_back(ReadVersionNode(r, nodeEnd));
        r.AlignDword();
    }
    r.Seek(std::max(r.pos(), nodeEnd));
    return node;
}

TEST(VersionResource, ZeroVersionsAnApplicationAndAnEmptyChineseStringTable)
{
    Blob blob = LoadChineseResource(kVersion, MAKEINTRESOURCEW(1));
    ASSERT_NE(nullptr, blob.data);
    Reader r(blob);
    VersionNode root = ReadVersionNode(r, blob.size);
    ASSERT_FALSE(r.overrun());
    EXPECT_EQ(L"VS_VERSION_INFO", root.key);

    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), root.value.size());
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, root.value.data(), sizeof fixed);
    EXPECT_EQ(0xFEEF04BDu, fixed.dwSignature);
    EXPECT_EQ(0u, fixed.dwFileVersionMS);
    EXPECT_EQ(0u, fixed.dwFileVersionLS);
    EXPECT_EQ(0u, fixed.dwProductVersionMS);
    EXPECT_EQ(0u, fixed.dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), fixed.dwFileOS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed.dwFileType);
    EXPECT_EQ(0u, fixed.dwFileFlags);

    ASSERT_EQ(2u, root.children.size());
    const VersionNode& strings = root.children[0];
    EXPECT_EQ(L"StringFileInfo", strings.key);
    ASSERT_EQ(1u, strings.children.size());
    EXPECT_EQ(L"080004b0", strings.children[0].key);
    EXPECT_TRUE(strings.children[0].children.empty()) << "no product, company or version strings";

    const VersionNode& vars = root.children[1];
    EXPECT_EQ(L"VarFileInfo", vars.key);
    ASSERT_EQ(1u, vars.children.size());
    EXPECT_EQ(L"Translation", vars.children[0].key);
    const std::vector<BYTE> translation = {0x00, 0x08, 0xB0, 0x04};  // 0x0800, 1200
    EXPECT_EQ(translation, vars.children[0].value);
}

}  // namespace
