// The resources of the built Kelvane.exe, read back the way the system and the program read
// them: enumeration, the raw templates, LoadStringA, the accelerator and version functions,
// and dialogs created from the templates.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "resource.h"
#include "support/program_files.h"

namespace {

constexpr WORD German = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);       // 0x0407
constexpr WORD English = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US); // 0x0409

class KelvaneResources : public testing::Test {
  protected:
    void SetUp() override {
        module = LoadProgramResources();
        ASSERT_NE(module, nullptr) << ProgramPath() << " error " << GetLastError();
    }
    void TearDown() override {
        if (module != nullptr)
            FreeLibrary(module);
    }

    std::vector<std::uint8_t> Bytes(WORD type, WORD id, WORD language) const {
        HRSRC found =
            FindResourceExA(module, MAKEINTRESOURCEA(type), MAKEINTRESOURCEA(id), language);
        if (found == nullptr)
            return {};
        HGLOBAL loaded = LoadResource(module, found);
        const auto* data = static_cast<const std::uint8_t*>(LockResource(loaded));
        if (data == nullptr)
            return {};
        return std::vector<std::uint8_t>(data, data + SizeofResource(module, found));
    }

    HMODULE module = nullptr;
};

// --- Inventory ---------------------------------------------------------------------------------

// A resource as (type, name, language); names and types that are strings come out as text.
using Entry = std::tuple<std::string, std::string, WORD>;

std::string ResourceName(LPCSTR name) {
    if (IS_INTRESOURCE(name))
        return std::to_string(reinterpret_cast<std::uintptr_t>(name));
    return std::string("\"") + name + "\"";
}

BOOL CALLBACK AddLanguage(HMODULE, LPCSTR type, LPCSTR name, WORD language, LONG_PTR found) {
    reinterpret_cast<std::set<Entry>*>(found)->insert(
        {ResourceName(type), ResourceName(name), language});
    return TRUE;
}

BOOL CALLBACK AddName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR found) {
    return EnumResourceLanguagesA(module, type, name, AddLanguage, found);
}

BOOL CALLBACK AddType(HMODULE module, LPSTR type, LONG_PTR found) {
    return EnumResourceNamesA(module, type, AddName, found);
}

TEST_F(KelvaneResources, InventoryHoldsExactlyTheProgramsResources) {
    std::set<Entry> found;
    ASSERT_TRUE(EnumResourceTypesA(module, AddType, reinterpret_cast<LONG_PTR>(&found)));
    // Nothing else: in particular no second manifest from the toolchain.
    const std::set<Entry> expected = {
        {"3", "1", German},    {"3", "2", German},  {"3", "3", German},   {"5", "400", German},
        {"5", "800", English}, {"6", "26", German}, {"6", "51", English}, {"9", "102", German},
        {"14", "101", German}, {"16", "1", German}, {"24", "1", English},
    };
    EXPECT_EQ(found, expected);
}

// --- Dialog templates --------------------------------------------------------------------------

// Reads a DIALOGEX template field by field.
struct TemplateReader {
    const std::vector<std::uint8_t>& bytes;
    std::size_t offset = 0;
    bool overrun = false;

    std::uint32_t Read(std::size_t size) {
        if (offset + size > bytes.size()) {
            overrun = true;
            return 0;
        }
        std::uint32_t value = 0;
        std::memcpy(&value, bytes.data() + offset, size);
        offset += size;
        return value;
    }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Read(2)); }
    std::uint32_t Dword() { return Read(4); }
    short Short() { return static_cast<short>(Word()); }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(Read(1)); }
    void AlignToDword() { offset = (offset + 3) & ~std::size_t{3}; }
    std::wstring Text() {
        std::wstring text;
        for (std::uint16_t c = Word(); c != 0 && !overrun; c = Word())
            text.push_back(static_cast<wchar_t>(c));
        return text;
    }
    // A name or ordinal: 0xFFFF and the ordinal, or a terminated text ("" for none).
    std::wstring TextOrOrdinal(std::uint16_t& ordinal) {
        ordinal = 0;
        if (offset + 2 <= bytes.size() && bytes[offset] == 0xFF && bytes[offset + 1] == 0xFF) {
            Word();
            ordinal = Word();
            return L"";
        }
        return Text();
    }
};

struct ControlSpec {
    std::uint32_t id;
    std::uint16_t classOrdinal; // 0 for a named class
    const wchar_t* className;
    std::uint32_t style;
    const wchar_t* text;
    short x, y, cx, cy;
};

constexpr std::uint16_t ButtonClass = 0x80, EditClass = 0x81, StaticClass = 0x82;
constexpr std::uint32_t NoId = 0xFFFFFFFF;

const ControlSpec GermanControls[12] = {
    {IDOK, ButtonClass, L"", 0x50030001, L"&OK", 5, 91, 24, 14},
    {IDC_APPLY, ButtonClass, L"", 0x50010000, L"&Anwenden", 33, 91, 46, 14},
    {IDC_ICONFONT, ButtonClass, L"", 0x50010000, L"&Symbol...", 83, 91, 39, 14},
    {IDC_GRAPH, ButtonClass, L"", 0x5003000B, L"", 6, 6, 115, 28},
    {NoId, ButtonClass, L"", 0x50020007, L"A&ktualisierungsintervall", 5, 38, 117, 34},
    {NoId, StaticClass, L"", 0x50020001, L"4,0 s", 9, 53, 19, 10},
    {IDC_INTERVAL, 0, L"msctls_trackbar32", 0x50030001, L"Slider1", 33, 50, 62, 18},
    {NoId, StaticClass, L"", 0x50020001, L"60 s", 99, 53, 19, 10},
    {NoId, StaticClass, L"", 0x50020002, L"&Warnmeldung bei:", 5, 77, 62, 9},
    {IDC_THRESHOLD, EditClass, L"", 0x50832080, L"", 72, 75, 32, 13},
    {IDC_THRESHOLD_SPIN, 0, L"msctls_updown32", 0x500200B7, L"Spin1", 93, 75, 10, 13},
    {NoId, StaticClass, L"", 0x50020000, L"\u00B0C", 109, 77, 12, 9},
};

const ControlSpec EnglishControls[12] = {
    {IDOK, ButtonClass, L"", 0x50030001, L"&OK", 5, 91, 35, 14},
    {IDC_APPLY, ButtonClass, L"", 0x50010000, L"&Apply", 46, 91, 35, 14},
    {IDC_ICONFONT, ButtonClass, L"", 0x50010000, L"&Icon...", 87, 91, 35, 14},
    {IDC_GRAPH, ButtonClass, L"", 0x5003000B, L"", 6, 6, 115, 28},
    {NoId, ButtonClass, L"", 0x50020007, L"&Update speed", 5, 38, 117, 34},
    {NoId, StaticClass, L"", 0x50020001, L"4.0 s", 9, 53, 19, 10},
    {IDC_INTERVAL, 0, L"msctls_trackbar32", 0x50030001, L"Slider1", 33, 50, 62, 18},
    {NoId, StaticClass, L"", 0x50020001, L"60 s", 99, 53, 19, 10},
    {NoId, StaticClass, L"", 0x50020002, L"Alert &threshold:", 5, 77, 57, 9},
    {IDC_THRESHOLD, EditClass, L"", 0x50832080, L"", 67, 75, 32, 13},
    {IDC_THRESHOLD_SPIN, 0, L"msctls_updown32", 0x500200B7, L"Spin1", 88, 75, 10, 13},
    {NoId, StaticClass, L"", 0x50020000, L"\u00B0C", 103, 77, 14, 9},
};

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text)
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

void ExpectDialogTemplate(const std::vector<std::uint8_t>& bytes,
                          const ControlSpec (&controls)[12]) {
    ASSERT_FALSE(bytes.empty());
    TemplateReader in{bytes};
    EXPECT_EQ(in.Word(), 1);      // version
    EXPECT_EQ(in.Word(), 0xFFFF); // extended template
    EXPECT_EQ(in.Dword(), 0u);    // help id
    EXPECT_EQ(in.Dword(), 0x80000400u);
    EXPECT_EQ(in.Dword(), 0x80C808C4u);
    EXPECT_EQ(in.Word(), 12);
    EXPECT_EQ(in.Short(), 32);
    EXPECT_EQ(in.Short(), 8);
    EXPECT_EQ(in.Short(), 127);
    EXPECT_EQ(in.Short(), 109);
    std::uint16_t ordinal = 0;
    EXPECT_EQ(in.TextOrOrdinal(ordinal), L"") << "menu";
    EXPECT_EQ(ordinal, 0);
    EXPECT_EQ(in.TextOrOrdinal(ordinal), L"") << "window class";
    EXPECT_EQ(ordinal, 0);
    EXPECT_EQ(in.Text(), L"Kelvane");
    EXPECT_EQ(in.Word(), 9); // points
    EXPECT_EQ(in.Word(), 0); // weight
    EXPECT_EQ(in.Byte(), 0); // italic
    EXPECT_EQ(in.Byte(), DEFAULT_CHARSET);
    EXPECT_EQ(in.Text(), L"Arial");

    for (const ControlSpec& want : controls) {
        SCOPED_TRACE("control " + Narrow(want.text) + " id " + std::to_string(want.id));
        in.AlignToDword();
        EXPECT_EQ(in.Dword(), 0u); // help id
        EXPECT_EQ(in.Dword(), 0u); // extended style
        EXPECT_EQ(in.Dword(), want.style);
        EXPECT_EQ(in.Short(), want.x);
        EXPECT_EQ(in.Short(), want.y);
        EXPECT_EQ(in.Short(), want.cx);
        EXPECT_EQ(in.Short(), want.cy);
        EXPECT_EQ(in.Dword(), want.id);
        std::wstring className = in.TextOrOrdinal(ordinal);
        EXPECT_EQ(ordinal, want.classOrdinal);
        // windres stores named classes upper-cased; the system matches them without regard
        // to case.
        EXPECT_EQ(_wcsicmp(className.c_str(), want.className), 0) << Narrow(className);
        EXPECT_EQ(in.TextOrOrdinal(ordinal), want.text);
        EXPECT_EQ(ordinal, 0);
        EXPECT_EQ(in.Word(), 0); // no creation data
    }
    EXPECT_FALSE(in.overrun);
    EXPECT_EQ(in.offset, bytes.size());
}

TEST_F(KelvaneResources, GermanDialogTemplate) {
    ExpectDialogTemplate(Bytes(5, IDD_MAIN, German), GermanControls);
}

TEST_F(KelvaneResources, EnglishDialogTemplate) {
    ExpectDialogTemplate(Bytes(5, IDD_MAIN + ENGLISH_ID_OFFSET, English), EnglishControls);
}

// --- Dialogs created from the templates ----------------------------------------------------

INT_PTR CALLBACK TrivialDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

std::vector<HWND> Children(HWND dialog) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

std::string WindowText(HWND window) {
    char text[256] = "";
    int length = GetWindowTextA(window, text, sizeof text);
    return std::string(text, length > 0 ? length : 0);
}

std::string ClassName(HWND window) {
    char name[64] = "";
    int length = GetClassNameA(window, name, sizeof name);
    return std::string(name, length > 0 ? length : 0);
}

RECT RectInDialog(HWND dialog, HWND control) {
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

class KelvaneDialog : public KelvaneResources {
  protected:
    void SetUp() override {
        KelvaneResources::SetUp();
        ASSERT_EQ(GetACP(), 1252u) << "the ANSI texts below are code page 1252";
        INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
        ASSERT_TRUE(InitCommonControlsEx(&classes));
    }
    void TearDown() override {
        if (dialog != nullptr)
            DestroyWindow(dialog);
        KelvaneResources::TearDown();
    }

    // Creates the dialog and checks what every dialog of both languages shares.
    void Create(WORD templateId, const ControlSpec (&controls)[12]) {
        dialog =
            CreateDialogParamA(module, MAKEINTRESOURCEA(templateId), nullptr, TrivialDialogProc, 0);
        ASSERT_NE(dialog, nullptr) << GetLastError();
        EXPECT_EQ(WindowText(dialog), "Kelvane");
        EXPECT_FALSE(IsWindowVisible(dialog));
        children = Children(dialog);
        ASSERT_EQ(children.size(), 12u);
        const char* classes[12] = {"Button",
                                   "Button",
                                   "Button",
                                   "Button",
                                   "Button",
                                   "Static",
                                   "msctls_trackbar32",
                                   "Static",
                                   "Static",
                                   "Edit",
                                   "msctls_updown32",
                                   "Static"};
        for (int i = 0; i < 12; ++i) {
            EXPECT_EQ(lstrcmpiA(ClassName(children[i]).c_str(), classes[i]), 0)
                << i << ": " << ClassName(children[i]);
            EXPECT_EQ(static_cast<std::uint32_t>(GetDlgCtrlID(children[i])), controls[i].id);
        }
        // The degree sign arrives as the single code page 1252 byte 0xB0.
        EXPECT_EQ(WindowText(children[11]), "\xB0"
                                            "C");
    }

    // UDS_AUTOBUDDY took the box as buddy and UDS_ALIGNRIGHT narrowed it: the up-down now
    // stands at the right end of the box's template rectangle, the box left of it.
    void ExpectUpDownNarrowedTheBox(const ControlSpec& box) {
        HWND edit = children[9];
        HWND upDown = children[10];
        EXPECT_EQ(reinterpret_cast<HWND>(SendMessageA(upDown, UDM_GETBUDDY, 0, 0)), edit);
        RECT templateRect = {box.x, box.y, box.x + box.cx, box.y + box.cy};
        ASSERT_TRUE(MapDialogRect(dialog, &templateRect));
        RECT editRect = RectInDialog(dialog, edit);
        RECT upDownRect = RectInDialog(dialog, upDown);
        EXPECT_EQ(editRect.left, templateRect.left);
        EXPECT_LT(editRect.right, templateRect.right);
        EXPECT_LE(upDownRect.left, editRect.right);
        EXPECT_GE(upDownRect.left, editRect.right - 2);
        EXPECT_GE(upDownRect.right, templateRect.right - 2);
        EXPECT_LE(upDownRect.right, templateRect.right + 2);
    }

    HWND dialog = nullptr;
    std::vector<HWND> children;
};

TEST_F(KelvaneDialog, GermanDialogShowsGermanTexts) {
    Create(IDD_MAIN, GermanControls);
    ASSERT_EQ(children.size(), 12u);
    EXPECT_EQ(WindowText(children[1]), "&Anwenden");
    EXPECT_EQ(WindowText(children[2]), "&Symbol...");
    EXPECT_EQ(WindowText(children[4]), "A&ktualisierungsintervall");
    EXPECT_EQ(WindowText(children[5]), "4,0 s");
    EXPECT_EQ(WindowText(children[8]), "&Warnmeldung bei:");
    ExpectUpDownNarrowedTheBox(GermanControls[9]);
}

TEST_F(KelvaneDialog, EnglishDialogShowsEnglishTexts) {
    Create(IDD_MAIN + ENGLISH_ID_OFFSET, EnglishControls);
    ASSERT_EQ(children.size(), 12u);
    EXPECT_EQ(WindowText(children[1]), "&Apply");
    EXPECT_EQ(WindowText(children[2]), "&Icon...");
    EXPECT_EQ(WindowText(children[4]), "&Update speed");
    EXPECT_EQ(WindowText(children[5]), "4.0 s");
    EXPECT_EQ(WindowText(children[8]), "Alert &threshold:");
    ExpectUpDownNarrowedTheBox(EnglishControls[9]);
}

// --- String tables ---------------------------------------------------------------------------

std::string LoadedString(HMODULE module, UINT id) {
    char text[256];
    int length = LoadStringA(module, id, text, sizeof text);
    return std::string(text, length > 0 ? length : 0);
}

TEST_F(KelvaneResources, StringsArriveAsCodePage1252Bytes) {
    ASSERT_EQ(GetACP(), 1252u);
    // Hex escapes end where a string piece ends: "\xF6" "chst" is 0xF6 followed by "chst".
    const std::pair<UINT, const char*> expected[] = {
        {401, "F\xFC"
              "r dieses Programm ist ein Grafikprozessor der NVIDIA Corporation erforderlich."},
        {402, "Die NVIDIA NVAPI Library \"nvapi.dll\" konnte nicht geladen werden."},
        {403, "Warnung: Die GPU-Kerntemperatur hat den festgelegten H\xF6"
              "chstwert erreicht!"},
        {404, "Der Verlauf der Kerntemperatur kann nicht an die neue\r\nMa\xDF"
              "einteilung angepasst werden und wird gel\xF6"
              "scht."},
        {801, "This program requires a GPU of NVIDIA Corporation."},
        {802, "The NVIDIA NVAPI Library \"nvapi.dll\" could not be loaded."},
        {803, "Warning: The GPU core temperature has reached the configured upper limit!"},
        {804, "The temperature history can not be adjust\r\nto the new scale and will be "
              "deleted."},
    };
    for (const auto& [id, text] : expected)
        EXPECT_EQ(LoadedString(module, id), text) << id;
}

TEST_F(KelvaneResources, StringBlocksHoldNoOtherIds) {
    for (UINT block : {400u, 800u}) {
        for (UINT id = block; id < block + 16; ++id) {
            if (id < block + 1 || id > block + 4) {
                EXPECT_EQ(LoadedString(module, id), "") << id;
            }
        }
    }
}

// --- Accelerators ----------------------------------------------------------------------------

TEST_F(KelvaneResources, AcceleratorTableHoldsSixPlainFunctionKeys) {
    const ACCEL expected[6] = {
        {FVIRTKEY | FNOINVERT, VK_F6, IDM_DISPLAY_SETTINGS},
        {FVIRTKEY | FNOINVERT, VK_F10, IDM_GPU_INFO},
        {FVIRTKEY | FNOINVERT, VK_F4, IDC_GRAPH},
        {FVIRTKEY | FNOINVERT, VK_F5, IDM_REFRESH},
        {FVIRTKEY | FNOINVERT, VK_F2, IDM_SAVE},
        {FVIRTKEY | FNOINVERT, VK_ESCAPE, IDOK},
    };
    HACCEL table = LoadAcceleratorsA(module, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    ASSERT_NE(table, nullptr);
    ACCEL copied[8] = {};
    ASSERT_EQ(CopyAcceleratorTableA(table, nullptr, 0), 6);
    ASSERT_EQ(CopyAcceleratorTableA(table, copied, 8), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(copied[i].fVirt & 0x7F, expected[i].fVirt) << i; // without the end flag
        EXPECT_EQ(copied[i].key, expected[i].key) << i;
        EXPECT_EQ(copied[i].cmd, expected[i].cmd) << i;
    }
    DestroyAcceleratorTable(table);

    // As stored: 8-byte entries, the last one marked as the end of the table.
    std::vector<std::uint8_t> raw = Bytes(9, IDR_ACCELERATORS, German);
    ASSERT_EQ(raw.size(), 48u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(raw[8 * i], i == 5 ? 0x83 : 0x03) << i;
}

// --- Icon ------------------------------------------------------------------------------------

TEST_F(KelvaneResources, IconGroupHoldsThreeBitmapImages) {
    struct Image {
        int size, colours, bits;
        std::uint32_t bytes;
    };
    const Image expected[3] = {{32, 16, 4, 744}, {16, 16, 4, 296}, {48, 0, 8, 3752}};

    std::vector<std::uint8_t> group = Bytes(14, IDI_APP, German);
    ASSERT_EQ(group.size(), 6u + 3 * 14u);
    TemplateReader in{group};
    EXPECT_EQ(in.Word(), 0);
    EXPECT_EQ(in.Word(), 1); // icons, not cursors
    EXPECT_EQ(in.Word(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("image " + std::to_string(i + 1));
        EXPECT_EQ(in.Byte(), expected[i].size);
        EXPECT_EQ(in.Byte(), expected[i].size);
        EXPECT_EQ(in.Byte(), expected[i].colours);
        EXPECT_EQ(in.Byte(), 0);
        EXPECT_EQ(in.Word(), 1); // planes
        EXPECT_EQ(in.Word(), expected[i].bits);
        EXPECT_EQ(in.Dword(), expected[i].bytes);
        EXPECT_EQ(in.Word(), i + 1);

        // A device-independent bitmap of doubled height (colours and mask), not a PNG.
        std::vector<std::uint8_t> image = Bytes(3, static_cast<WORD>(i + 1), German);
        ASSERT_EQ(image.size(), expected[i].bytes);
        BITMAPINFOHEADER header;
        std::memcpy(&header, image.data(), sizeof header);
        EXPECT_EQ(header.biSize, sizeof header);
        EXPECT_EQ(header.biWidth, expected[i].size);
        EXPECT_EQ(header.biHeight, 2 * expected[i].size);
        EXPECT_EQ(header.biPlanes, 1);
        EXPECT_EQ(header.biBitCount, expected[i].bits);
        EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    }

    // The small icon the program loads at 16 x 16 comes out at that size.
    HICON small = static_cast<HICON>(
        LoadImageA(module, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    ASSERT_NE(small, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(small, &info));
    BITMAP mask = {};
    GetObjectA(info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmWidth, 16);
    DeleteObject(info.hbmMask);
    if (info.hbmColor != nullptr)
        DeleteObject(info.hbmColor);
    DestroyIcon(small);
}

// --- Version block ---------------------------------------------------------------------------

// The keys of the string table "040704b0" in stored order, read from the raw block: each node
// is length, value length, type, key, then value and children, aligned to 4 bytes.
std::vector<std::wstring> StringTableKeys(const std::vector<std::uint8_t>& block) {
    std::vector<std::wstring> keys;
    struct Node {
        std::size_t start, end, children;
        std::wstring key;
    };
    auto node = [&](std::size_t start) {
        TemplateReader in{block, start};
        std::size_t length = in.Word();
        std::size_t valueLength = in.Word();
        std::size_t type = in.Word();
        std::wstring key = in.Text();
        in.AlignToDword();
        in.offset += type == 1 ? 2 * valueLength : valueLength;
        in.AlignToDword();
        return Node{start, start + length, in.offset, key};
    };
    auto children = [&](const Node& parent) {
        std::vector<Node> list;
        for (std::size_t at = parent.children; at + 6 <= parent.end && at < block.size();) {
            Node child = node(at);
            if (child.end <= at)
                break;
            list.push_back(child);
            at = (child.end + 3) & ~std::size_t{3};
        }
        return list;
    };
    Node root = node(0);
    for (const Node& info : children(root)) {
        if (info.key != L"StringFileInfo")
            continue;
        for (const Node& table : children(info)) {
            keys.push_back(L"[" + table.key + L"]");
            for (const Node& string : children(table))
                keys.push_back(string.key);
        }
    }
    return keys;
}

TEST_F(KelvaneResources, VersionBlock) {
    const std::string path = ProgramPath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020001u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000027u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00030000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, 0x00040004u);
    EXPECT_EQ(fixed->dwFileType, 1u);
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
    EXPECT_EQ(fixed->dwFileDateMS, 0u);
    EXPECT_EQ(fixed->dwFileDateLS, 0u);

    const std::pair<const char*, const char*> strings[] = {
        {"Comments", "This software contains source code provided by NVIDIA Corporation."},
        {"CompanyName", "Ostrel-Tools"},
        {"FileDescription", "Ostrel-Tools Kelvane"},
        {"FileVersion", "2.1"},
        {"InternalName", "Kelvane"},
        {"LegalCopyright", "Copyright \xA9 Ostrel-Tools"},
        {"OriginalFilename", "Kelvane.exe"},
        {"ProductName", "Ostrel-Tools"},
        {"ProductVersion", "3.0"},
    };
    for (const auto& [key, text] : strings) {
        std::string query = std::string("\\StringFileInfo\\040704b0\\") + key;
        ASSERT_TRUE(VerQueryValueA(block.data(), query.c_str(), &value, &length)) << key;
        EXPECT_STREQ(static_cast<const char*>(value), text) << key;
    }

    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    const auto* translation = static_cast<const WORD*>(value);
    EXPECT_EQ(translation[0], 0x0407);
    EXPECT_EQ(translation[1], 0x04B0);

    // One string table, its nine keys in this order.
    std::vector<std::uint8_t> raw = Bytes(16, 1, German);
    const std::vector<std::wstring> keys = {
        L"[040704b0]",  L"Comments",       L"CompanyName",    L"FileDescription",
        L"FileVersion", L"InternalName",   L"LegalCopyright", L"OriginalFilename",
        L"ProductName", L"ProductVersion",
    };
    EXPECT_EQ(StringTableKeys(raw), keys);
}

// --- Manifest --------------------------------------------------------------------------------

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The attribute's value inside the tag that starts at tagStart, or "?" when it has none.
std::string Attribute(const std::string& text, std::size_t tagStart, const std::string& name) {
    std::size_t tagEnd = text.find('>', tagStart);
    std::size_t at = text.find(" " + name + "=\"", tagStart);
    if (at == std::string::npos || at > tagEnd)
        return "?";
    at += name.size() + 3;
    return text.substr(at, text.find('"', at) - at);
}

TEST_F(KelvaneResources, ManifestAsksForVersion6CommonControlsOnly) {
    std::vector<std::uint8_t> raw = Bytes(24, 1, English);
    const std::string manifest(raw.begin(), raw.end());
    ASSERT_FALSE(manifest.empty());
    EXPECT_EQ(Count(manifest, "<dependency>"), 1u);
    EXPECT_EQ(Count(manifest, "<assemblyIdentity"), 2u);
    EXPECT_EQ(Count(manifest, "<description>"), 1u);
    for (const char* absent : {"trustInfo", "requestedExecutionLevel", "dpiAware", "compatibility",
                               "supportedOS", "windowsSettings"})
        EXPECT_EQ(manifest.find(absent), std::string::npos) << absent;

    std::size_t own = manifest.find("<assemblyIdentity");
    EXPECT_EQ(Attribute(manifest, own, "type"), "win32");
    EXPECT_EQ(Attribute(manifest, own, "version"), "2.1.0.39");
    EXPECT_EQ(Attribute(manifest, own, "processorArchitecture"), "*");
    EXPECT_NE(Attribute(manifest, own, "name"), "?");

    std::size_t dependency = manifest.find("<assemblyIdentity", manifest.find("<dependency>"));
    ASSERT_NE(dependency, std::string::npos);
    EXPECT_EQ(Attribute(manifest, dependency, "name"), "Microsoft.Windows.Common-Controls");
    EXPECT_EQ(Attribute(manifest, dependency, "type"), "win32");
    EXPECT_EQ(Attribute(manifest, dependency, "version"), "6.0.0.0");
    EXPECT_EQ(Attribute(manifest, dependency, "processorArchitecture"), "*");
    EXPECT_EQ(Attribute(manifest, dependency, "language"), "*");
    EXPECT_EQ(Attribute(manifest, dependency, "publicKeyToken"), "6595b64144ccf1df");
}

} // namespace
