// The resources of QXTSetup.exe, linked into this test program as they are
// into the executable: every PNG of the skin with its size, colour type,
// alpha and frames, the dialog template 102, the icon, the version, and the
// manifest of the skin preview program, which links it like QXTSetup.exe.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

#include "controls/LoadPngResource.h"
#include "res/resource.h"
#include "tests/support/TestPaths.h"

namespace {

constexpr WORD kChinesePrc = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

enum class Alpha { None, Graded, ZeroOrFull };

struct PngRow {
    const char* name;
    UINT id;
    int width, height;
    int colourType;  // PNG IHDR: 2 truecolour, 3 palette, 6 truecolour with alpha
    Alpha alpha;
    int frames;
    // At 2x drawn over the skin behind it, without alpha (the panel's pictures).
    bool opaqueAt2x = false;
};

const PngRow kPngs[] = {
    {"IDB_TITLE_STRIP", IDB_TITLE_STRIP, 590, 36, 2, Alpha::None, 1},
    {"IDB_BACKGROUND", IDB_BACKGROUND, 590, 399, 2, Alpha::None, 1},
    {"IDB_MINIMIZE", IDB_MINIMIZE, 36, 180, 6, Alpha::Graded, 5},
    {"IDB_CLOSE", IDB_CLOSE, 36, 180, 6, Alpha::ZeroOrFull, 5},
    {"IDB_CHECK_AUTORUN", IDB_CHECK_AUTORUN, 230, 230, 6, Alpha::Graded, 10},
    {"IDB_CHECK_DESKTOP", IDB_CHECK_DESKTOP, 230, 230, 6, Alpha::Graded, 10},
    {"IDB_CHECK_GROUP", IDB_CHECK_GROUP, 230, 230, 6, Alpha::Graded, 10},
    {"IDB_START", IDB_START, 90, 175, 2, Alpha::None, 5},
    {"IDB_REINSTALL", IDB_REINSTALL, 90, 175, 2, Alpha::None, 5},
    {"IDB_BROWSE", IDB_BROWSE, 30, 150, 3, Alpha::None, 5},
    {"IDB_CANCEL_INSTALL", IDB_CANCEL_INSTALL, 90, 175, 2, Alpha::None, 5},
    {"IDB_FINISH", IDB_FINISH, 90, 175, 2, Alpha::None, 5},
    {"IDB_SWITCH1", IDB_SWITCH1, 40, 82, 6, Alpha::Graded, 2},
    {"IDB_SWITCH2", IDB_SWITCH2, 40, 82, 6, Alpha::Graded, 2},
    {"IDB_SWITCH3", IDB_SWITCH3, 57, 114, 6, Alpha::Graded, 2},
    {"IDB_SWITCH4", IDB_SWITCH4, 41, 82, 6, Alpha::Graded, 2},
    {"IDB_SWITCH5", IDB_SWITCH5, 40, 82, 6, Alpha::Graded, 2},
    {"IDB_PICTURE1", IDB_PICTURE1, 260, 260, 6, Alpha::Graded, 1, true},
    {"IDB_PICTURE2", IDB_PICTURE2, 260, 260, 6, Alpha::Graded, 1, true},
    {"IDB_PICTURE3", IDB_PICTURE3, 260, 260, 6, Alpha::Graded, 1, true},
    {"IDB_PICTURE4", IDB_PICTURE4, 260, 260, 6, Alpha::Graded, 1, true},
    {"IDB_PICTURE5", IDB_PICTURE5, 260, 260, 6, Alpha::Graded, 1, true},
};

// The raw bytes of a resource of this program.
std::string ResourceBytes(LPCWSTR type, LPCWSTR name, WORD language)
{
    HRSRC found = ::FindResourceExW(nullptr, type, name, language);
    if (!found)
        return {};
    HGLOBAL loaded = ::LoadResource(nullptr, found);
    return std::string(static_cast<const char*>(::LockResource(loaded)), ::SizeofResource(nullptr, found));
}

bool HasChunk(const std::string& png, const char* type)
{
    for (size_t at = 8; at + 8 <= png.size();) {
        const auto* p = reinterpret_cast<const unsigned char*>(png.data() + at);
        const size_t length = (size_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
        if (std::memcmp(png.data() + at + 4, type, 4) == 0)
            return true;
        at += 12 + length;
    }
    return false;
}

TEST(SkinPngs, EachHasItsSizeColourTypeAlphaAndFrames)
{
    for (const PngRow& row : kPngs) {
        SCOPED_TRACE(row.name);
        const std::string png = ResourceBytes(L"PNG", MAKEINTRESOURCEW(row.id), kChinesePrc);
        ASSERT_GT(png.size(), 33u) << "no PNG resource in Chinese (PRC)";
        ASSERT_EQ(png.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
        EXPECT_EQ(static_cast<unsigned char>(png[24]), 8) << "bit depth";
        EXPECT_EQ(static_cast<unsigned char>(png[25]), row.colourType) << "colour type";
        EXPECT_FALSE(HasChunk(png, "tRNS")) << "no transparent colour";

        CImage image;
        ASSERT_TRUE(LoadPngResource(image, MAKEINTRESOURCEW(row.id)));
        EXPECT_EQ(image.GetWidth(), row.width);
        EXPECT_EQ(image.GetHeight(), row.height);
        EXPECT_EQ(image.GetHeight() % row.frames, 0) << "frames of equal height";
        EXPECT_EQ(image.HasAlphaChannel(), row.alpha != Alpha::None);
        EXPECT_EQ(image.GetBPP(), row.alpha != Alpha::None ? 32 : (row.colourType == 3 ? 8 : 24));
        if (row.alpha == Alpha::None)
            continue;

        // Alpha survives the premultiplication unchanged: read the kind off it,
        // and check that no frame is empty.
        bool graded = false;
        std::vector<int> visible(row.frames, 0);
        const int frameHeight = row.height / row.frames;
        for (int y = 0; y < image.GetHeight(); ++y)
            for (int x = 0; x < image.GetWidth(); ++x) {
                const BYTE a = static_cast<const BYTE*>(image.GetPixelAddress(x, y))[3];
                graded |= a != 0 && a != 255;
                visible[y / frameHeight] += a != 0;
            }
        EXPECT_EQ(graded, row.alpha == Alpha::Graded);
        for (int f = 0; f < row.frames; ++f)
            EXPECT_GT(visible[f], 0) << "frame " << f << " is empty";
    }
}

TEST(SkinPngs, EachHasItsPictureAtTwiceTheSizeWithTheSameFramesAndAlpha)
{
    // The 2x skin: type "PNG2X" under the same ids, drawn anew at twice the
    // size (no 1x picture enlarged: that one would repeat every pixel twice),
    // a strip's frames side by side; stored in the 1x picture's colour type
    // or quantized to a palette, whose colours then carry the alpha (tRNS).
    // The panel's pictures are opaque at 2x: truecolour or a palette.
    for (const PngRow& row : kPngs) {
        SCOPED_TRACE(row.name);
        const Alpha alphaAt2x = row.opaqueAt2x ? Alpha::None : row.alpha;
        const int colourType = row.opaqueAt2x ? 2 : row.colourType;
        const std::string png = ResourceBytes(L"PNG2X", MAKEINTRESOURCEW(row.id), kChinesePrc);
        ASSERT_GT(png.size(), 33u) << "no 2x PNG resource in Chinese (PRC)";
        const auto u32 = [&png](size_t at) {
            const auto* p = reinterpret_cast<const unsigned char*>(png.data() + at);
            return static_cast<int>((unsigned(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]);
        };
        EXPECT_EQ(u32(16), 2 * row.width * row.frames) << "width: the frames side by side";
        EXPECT_EQ(u32(20), 2 * row.height / row.frames) << "height: one frame";
        const int storedType = static_cast<unsigned char>(png[25]);
        EXPECT_TRUE(storedType == colourType || storedType == 3) << "colour type " << storedType;
        EXPECT_EQ(HasChunk(png, "tRNS"), storedType == 3 && alphaAt2x != Alpha::None)
            << "alpha in the palette exactly when a palette picture has alpha";

        CImage image;
        ASSERT_TRUE(LoadPngResourceForDpi(image, MAKEINTRESOURCEW(row.id), 192, row.frames));
        ASSERT_EQ(image.GetWidth(), 2 * row.width);
        ASSERT_EQ(image.GetHeight(), 2 * row.height);
        EXPECT_EQ(image.HasAlphaChannel(), alphaAt2x != Alpha::None);
        const int bytes = image.GetBPP() / 8 ? image.GetBPP() / 8 : 1;
        int pairsAlike = 0;
        int pairs = 0;
        for (int y = 0; y + 1 < image.GetHeight(); y += 2)
            for (int x = 0; x + 1 < image.GetWidth(); x += 2) {
                const auto* a = static_cast<const BYTE*>(image.GetPixelAddress(x, y));
                const auto* b = static_cast<const BYTE*>(image.GetPixelAddress(x + 1, y + 1));
                pairsAlike += std::memcmp(a, b, static_cast<size_t>(bytes)) == 0;
                ++pairs;
            }
        EXPECT_LT(pairsAlike, pairs) << "every 2 x 2 block is one colour: an enlarged 1x picture";
        if (alphaAt2x == Alpha::None)
            continue;
        bool graded = false;
        std::vector<int> visible(row.frames, 0);
        const int frameHeight = image.GetHeight() / row.frames;
        for (int y = 0; y < image.GetHeight(); ++y)
            for (int x = 0; x < image.GetWidth(); ++x) {
                const BYTE alpha = static_cast<const BYTE*>(image.GetPixelAddress(x, y))[3];
                graded |= alpha != 0 && alpha != 255;
                visible[y / frameHeight] += alpha != 0;
            }
        EXPECT_EQ(graded, alphaAt2x == Alpha::Graded);
        for (int f = 0; f < row.frames; ++f)
            EXPECT_GT(visible[f], 0) << "frame " << f << " is empty";
    }
}

TEST(SkinPngs, StatesOfAStripLookDifferent)
{
    // Normal, mouse over, pressed, focused and disabled must be told apart.
    for (const PngRow& row : kPngs) {
        if (row.frames < 2)
            continue;
        SCOPED_TRACE(row.name);
        CImage image;
        ASSERT_TRUE(LoadPngResource(image, MAKEINTRESOURCEW(row.id)));
        const int frameHeight = row.height / row.frames;
        const int bytes = image.GetBPP() / 8 ? image.GetBPP() / 8 : 1;
        for (int a = 0; a < row.frames; ++a)
            for (int b = a + 1; b < row.frames; ++b) {
                bool differ = false;
                for (int y = 0; y < frameHeight && !differ; ++y)
                    differ = std::memcmp(image.GetPixelAddress(0, a * frameHeight + y),
                                         image.GetPixelAddress(0, b * frameHeight + y),
                                         static_cast<size_t>(row.width) * bytes) != 0;
                EXPECT_TRUE(differ) << "frames " << a << " and " << b << " are the same";
            }
    }
}

// The dialog template, read field by field (DLGTEMPLATEEX).
class TemplateReader {
public:
    explicit TemplateReader(const std::string& bytes) : m_bytes(bytes) {}
    WORD Word() { return Read<WORD>(); }
    DWORD Dword() { return Read<DWORD>(); }
    short Short() { return Read<short>(); }
    BYTE Byte() { return Read<BYTE>(); }
    std::wstring Text()
    {
        std::wstring text;
        for (WORD c = Word(); c != 0; c = Word())
            text.push_back(static_cast<wchar_t>(c));
        return text;
    }
    // A string or, after 0xFFFF, an ordinal ("#0x0080").
    std::wstring TextOrOrdinal()
    {
        const WORD first = Word();
        if (first == 0xFFFF)
            return L"#" + std::to_wstring(Word());
        if (first == 0)
            return L"";
        std::wstring text(1, static_cast<wchar_t>(first));
        return text + Text();
    }
    void AlignDword() { m_at = (m_at + 3) & ~size_t(3); }
    void Skip(size_t n) { m_at += n; }
    bool Ok() const { return m_at <= m_bytes.size(); }

private:
    template <typename T>
    T Read()
    {
        T value{};
        if (m_at + sizeof(T) <= m_bytes.size())
            std::memcpy(&value, m_bytes.data() + m_at, sizeof(T));
        m_at += sizeof(T);
        return value;
    }
    const std::string& m_bytes;
    size_t m_at = 0;
};

struct TemplateItem {
    DWORD exStyle;
    DWORD style;
    DWORD id;
    std::wstring windowClass;
    std::wstring caption;
};

TEST(DialogTemplate, CaptionFontAndStyle)
{
    const std::string bytes = ResourceBytes(RT_DIALOG, MAKEINTRESOURCEW(IDD_QXTSETUP_DIALOG), kChinesePrc);
    ASSERT_FALSE(bytes.empty());
    TemplateReader r(bytes);
    EXPECT_EQ(r.Word(), 1);       // version
    EXPECT_EQ(r.Word(), 0xFFFF);  // extended template
    r.Dword();                    // help id
    const DWORD exStyle = r.Dword();
    const DWORD style = r.Dword();
    EXPECT_EQ(exStyle, static_cast<DWORD>(WS_EX_APPWINDOW));
    const DWORD wanted = DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    EXPECT_EQ(style & wanted, wanted);
    EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_EQ(r.Word(), 19);  // controls
    r.Skip(8);                // position and size
    EXPECT_EQ(r.TextOrOrdinal(), L"");  // no menu
    EXPECT_EQ(r.TextOrOrdinal(), L"");  // the dialog class
    EXPECT_EQ(r.Text(), L"QXTSetup");
    ASSERT_TRUE(style & DS_SETFONT);
    EXPECT_EQ(r.Word(), 9);
    r.Word();  // weight
    r.Byte();  // italic
    r.Byte();  // character set
    EXPECT_EQ(r.Text(), L"MS Shell Dlg");
}

std::vector<TemplateItem> TemplateItems()
{
    const std::string bytes = ResourceBytes(RT_DIALOG, MAKEINTRESOURCEW(IDD_QXTSETUP_DIALOG), kChinesePrc);
    TemplateReader r(bytes);
    r.Skip(2 + 2 + 4 + 4 + 4);
    const WORD count = r.Word();
    r.Skip(8);
    r.TextOrOrdinal();
    r.TextOrOrdinal();
    r.Text();
    r.Skip(2 + 2 + 1 + 1);
    r.Text();
    std::vector<TemplateItem> items;
    for (WORD i = 0; i < count && r.Ok(); ++i) {
        r.AlignDword();
        TemplateItem item;
        r.Dword();  // help id
        item.exStyle = r.Dword();
        item.style = r.Dword();
        r.Skip(8);
        item.id = r.Dword();
        item.windowClass = r.TextOrOrdinal();
        item.caption = r.TextOrOrdinal();
        r.Skip(r.Word());  // creation data
        items.push_back(item);
    }
    return items;
}

// A template names a system class by its atom or by its name, in any case.
std::wstring ClassName(std::wstring name)
{
    if (name == L"#128")
        return L"BUTTON";
    if (name == L"#129")
        return L"EDIT";
    if (name == L"#130")
        return L"STATIC";
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(::towupper(c));
    return name;
}

TEST(DialogTemplate, ControlsInTabOrder)
{
    constexpr DWORD kTab = WS_TABSTOP;
    static const struct {
        UINT id;
        const wchar_t* windowClass;  // "#128" button, "#129" edit, "#130" static
        DWORD typeMask;
        DWORD type;
        DWORD styleBits;      // must be set
        DWORD noStyleBits;    // must be clear
        DWORD exStyle;
        const wchar_t* caption;
    } expected[] = {
        {IDC_MINIMIZE, L"#128", BS_TYPEMASK, BS_PUSHBUTTON, 0, kTab, 0, L"最小化"},
        {IDC_CLOSE, L"#128", BS_TYPEMASK, BS_PUSHBUTTON, 0, kTab, 0, L"关闭"},
        {IDC_START, L"#128", BS_TYPEMASK, BS_PUSHBUTTON, kTab, 0, 0, L"开始安装"},
        {IDC_BROWSE, L"#128", BS_TYPEMASK, BS_PUSHBUTTON, kTab, 0, 0, L"浏览"},
        {IDC_CANCEL_INSTALL, L"#128", BS_TYPEMASK, BS_PUSHBUTTON, kTab, 0, 0, L"退出安装"},
        {IDC_FINISH, L"#128", BS_TYPEMASK, BS_PUSHBUTTON, kTab, 0, 0, L"完成安装"},
        {IDC_INSTALL_PATH, L"#129", 0, 0, WS_BORDER | kTab | ES_AUTOHSCROLL, 0, 0, L""},
        {IDC_SWITCH1, L"#130", SS_TYPEMASK, SS_BITMAP, 0, 0, 0, L""},
        {IDC_SWITCH2, L"#130", SS_TYPEMASK, SS_BITMAP, 0, 0, 0, L""},
        {IDC_SWITCH3, L"#130", SS_TYPEMASK, SS_BITMAP, 0, 0, 0, L""},
        {IDC_SWITCH4, L"#130", SS_TYPEMASK, SS_BITMAP, 0, 0, 0, L""},
        {IDC_SWITCH5, L"#130", SS_TYPEMASK, SS_BITMAP, 0, 0, 0, L""},
        {IDC_PANEL, L"#130", SS_TYPEMASK, SS_BITMAP, 0, 0, WS_EX_TRANSPARENT, L""},
        {IDC_PROGRESS, L"msctls_progress32", 0, 0, 0, 0, 0, L""},
        {IDC_STATUS, L"#130", SS_TYPEMASK, SS_LEFTNOWORDWRAP, 0, 0, 0, L"Static"},
        {IDC_COUNTER, L"#130", SS_TYPEMASK, SS_LEFTNOWORDWRAP, 0, 0, 0, L"Static"},
        {IDC_AUTORUN, L"#128", BS_TYPEMASK, BS_AUTOCHECKBOX, kTab, 0, 0, L"开机启动Quolix"},
        {IDC_DESKTOP_SHORTCUT, L"#128", BS_TYPEMASK, BS_AUTOCHECKBOX, kTab, 0, 0, L"添加桌面快捷方式"},
        {IDC_PROGRAM_GROUP, L"#128", BS_TYPEMASK, BS_AUTOCHECKBOX, kTab, 0, 0, L"创建应用程序组"},
    };
    const std::vector<TemplateItem> items = TemplateItems();
    ASSERT_EQ(items.size(), std::size(expected));
    for (size_t i = 0; i < items.size(); ++i) {
        const auto& e = expected[i];
        const TemplateItem& item = items[i];
        SCOPED_TRACE(testing::Message() << "control " << i << ", id " << e.id);
        EXPECT_EQ(item.id, e.id);
        EXPECT_EQ(ClassName(item.windowClass), ClassName(e.windowClass));
        EXPECT_EQ(item.style & (WS_CHILD | WS_VISIBLE), static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
        EXPECT_EQ(item.style & e.typeMask, e.type);
        EXPECT_EQ(item.style & e.styleBits, e.styleBits);
        EXPECT_EQ(item.style & e.noStyleBits, 0u);
        EXPECT_EQ(item.exStyle, e.exStyle);
        EXPECT_EQ(item.caption, e.caption);
    }
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

TEST(DialogTemplate, CreatesEveryControl)
{
    INITCOMMONCONTROLSEX init{sizeof(init), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&init);
    HWND dialog = ::CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_QXTSETUP_DIALOG), nullptr, &PlainDialogProc, 0);
    ASSERT_TRUE(dialog);
    for (const UINT id : {IDC_MINIMIZE, IDC_CLOSE, IDC_START, IDC_BROWSE, IDC_CANCEL_INSTALL, IDC_FINISH,
                          IDC_INSTALL_PATH, IDC_SWITCH1, IDC_SWITCH5, IDC_PANEL, IDC_PROGRESS, IDC_STATUS,
                          IDC_COUNTER, IDC_AUTORUN, IDC_DESKTOP_SHORTCUT, IDC_PROGRAM_GROUP})
        EXPECT_TRUE(::GetDlgItem(dialog, static_cast<int>(id))) << id;
    wchar_t text[64]{};
    ::GetDlgItemTextW(dialog, IDC_DESKTOP_SHORTCUT, text, 64);
    EXPECT_STREQ(text, L"添加桌面快捷方式");
    ::DestroyWindow(dialog);
}

TEST(ApplicationIcon, LoadsInBothSizes)
{
    for (const int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(
            ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, size, size, 0));
        ASSERT_TRUE(icon) << size;
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(icon, &info));
        BITMAP bitmap{};
        ::GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
        ::DestroyIcon(icon);
    }
}

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name)
{
    std::wstring query = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return L"(none)";
    return value;
}

TEST(VersionResource, QuolixOneZeroZeroOneChinesePrcUnicode)
{
    wchar_t self[MAX_PATH]{};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(self, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(::GetFileVersionInfoW(self, 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(1, 0));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(1, 0));

    struct Translation {
        WORD language, codePage;
    }* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(translation->language, kChinesePrc);
    EXPECT_EQ(translation->codePage, 1200);
    EXPECT_EQ(VersionString(block, L"ProductName"), L"Quolix");
    EXPECT_EQ(VersionString(block, L"FileVersion"), L"1.0.0.1");
    EXPECT_EQ(VersionString(block, L"ProductVersion"), L"1.0.0.1");
}

TEST(ApplicationManifest, OnlyTheProgramCarriesIt)
{
    // Not in a test program...
    EXPECT_FALSE(::FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_MANIFEST));

    // ...but in a program linked like QXTSetup.exe.
    HMODULE program = ::LoadLibraryExW(qxt::test::HelperPath(L"skin_preview.exe").c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(program);
    HRSRC found = ::FindResourceW(program, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_TRUE(found);
    const std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(program, found))),
                               ::SizeofResource(program, found));
    ::FreeLibrary(program);
    for (const char* needle : {"level=\"requireAdministrator\"", "name=\"Microsoft.Windows.Common-Controls\"",
                               "version=\"6.0.0.0\"", "publicKeyToken=\"6595b64144ccf1df\"", ">true</dpiAware>",
                               ">PerMonitorV2, PerMonitor</dpiAwareness>"})
        EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
}

}  // namespace
