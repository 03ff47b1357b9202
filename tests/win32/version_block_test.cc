// Reads the built Quenby.exe as a file, the way Explorer does: its version
// block, its icon and its string table, and the kind of program it is.
#include <windows.h>
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "resource.h"
#include "win32_temp_dir.h"

namespace quenby {
namespace {

// The program under test: the first argument, else Quenby.exe beside us.
// A second argument "i386" asks for the 32-bit program that is shipped.
std::string g_program;
bool g_i386_only = false;

std::string Value(const std::string& data, const std::string& name) {
  void* value = nullptr;
  UINT length = 0;
  std::string query = "\\StringFileInfo\\040904b0\\" + name;
  if (!VerQueryValueA(data.data(), query.c_str(), &value, &length))
    return "<none>";
  return std::string(static_cast<const char*>(value)).substr(0, length);
}

TEST(VersionBlockTest, FieldForField) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(g_program.c_str(), &ignored);
  ASSERT_NE(0u, size) << g_program;
  std::string data(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoA(g_program.c_str(), 0, size, &data[0]));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\",
                             reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(0x00020000u, fixed->dwFileVersionMS);
  EXPECT_EQ(0x00000001u, fixed->dwFileVersionLS);
  EXPECT_EQ(0x00020000u, fixed->dwProductVersionMS);
  EXPECT_EQ(0x00000001u, fixed->dwProductVersionLS);
  EXPECT_EQ(0x3Fu, fixed->dwFileFlagsMask);
  EXPECT_EQ(static_cast<DWORD>(VS_FF_DEBUG), fixed->dwFileFlags);
  EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), fixed->dwFileOS);
  EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
  EXPECT_EQ(0u, fixed->dwFileSubtype);

  struct Field {
    const char* name;
    const char* value;
  };
  const Field fields[] = {
      {"Comments", ""},
      {"CompanyName", ""},
      {"FileDescription", "Quenby MFC Application"},
      {"FileVersion", "2, 0, 0, 1"},
      {"InternalName", "Quenby"},
      {"LegalTrademarks", ""},
      {"OriginalFilename", "Quenby.EXE"},
      {"PrivateBuild", ""},
      {"ProductName", "Quenby Application"},
      {"ProductVersion", "2, 0, 0, 1"},
      {"SpecialBuild", ""},
  };
  for (const Field& field : fields)
    EXPECT_EQ(field.value, Value(data, field.name)) << field.name;

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(4u, length);
  EXPECT_EQ(0x0409, translation[0]);
  EXPECT_EQ(0x04B0, translation[1]);
}

TEST(VersionBlockTest, IconAndStrings) {
  HMODULE module = LoadLibraryExA(g_program.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE |
                                      LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(nullptr, module) << g_program;

  // The icon group: a 32x32 and a 16x16 image, both 16 colours.
  HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(IDR_MAINFRAME),
                              reinterpret_cast<LPCSTR>(RT_GROUP_ICON));
  ASSERT_NE(nullptr, group);
  const BYTE* dir =
      static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
  ASSERT_NE(nullptr, dir);
  WORD count = *reinterpret_cast<const WORD*>(dir + 4);
  ASSERT_EQ(2, count);
  for (int i = 0; i < count; ++i) {
    const BYTE* entry = dir + 6 + 14 * i;  // GRPICONDIRENTRY
    int size = i == 0 ? 32 : 16;
    EXPECT_EQ(size, entry[0]);
    EXPECT_EQ(size, entry[1]);
    EXPECT_EQ(16, entry[2]);                                  // colours
    EXPECT_EQ(4, *reinterpret_cast<const WORD*>(entry + 6));  // bits
    WORD id = *reinterpret_cast<const WORD*>(entry + 12);
    EXPECT_NE(nullptr, FindResourceA(module, MAKEINTRESOURCEA(id),
                                     reinterpret_cast<LPCSTR>(RT_ICON)));
  }

  // String 101 alone in the string table.
  char text[64] = "";
  EXPECT_EQ(16, LoadStringA(module, IDS_ABOUTBOX, text, sizeof text));
  EXPECT_STREQ("&About Quenby...", text);
  for (UINT id = 96; id < 112; ++id) {
    if (id != IDS_ABOUTBOX) {
      EXPECT_EQ(0, LoadStringA(module, id, text, sizeof text)) << id;
    }
  }

  for (int id : {IDD_ABOUTBOX, IDD_QUENBY_DIALOG}) {
    EXPECT_NE(nullptr, FindResourceA(module, MAKEINTRESOURCEA(id),
                                     reinterpret_cast<LPCSTR>(RT_DIALOG)))
        << id;
  }
  FreeLibrary(module);
}

std::string GuidText(const GUID& id) {
  char text[40];
  snprintf(text, sizeof text,
           "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
           static_cast<unsigned long>(id.Data1), id.Data2, id.Data3,
           id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4],
           id.Data4[5], id.Data4[6], id.Data4[7]);
  return text;
}

// The manifest as Windows reads it when the program starts: the dialogs
// drawn at the screen's DPI (per-monitor v2, else the system's), and the
// Windows versions from Vista to 11 known, so that none runs it in a
// compatibility mode.
TEST(VersionBlockTest, ManifestAsksToBeDrawnAtTheScreensDpi) {
  ACTCTXA request = {};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = g_program.c_str();
  request.lpResourceName = MAKEINTRESOURCEA(1);
  HANDLE context = CreateActCtxA(&request);
  ASSERT_NE(INVALID_HANDLE_VALUE, context) << GetLastError();

  struct Setting {
    const wchar_t* space;
    const wchar_t* name;
    const wchar_t* value;
  };
  const Setting settings[] = {
      {L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
       L"dpiAwareness", L"PerMonitorV2, System"},
      {L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware",
       L"true"},
  };
  for (const Setting& setting : settings) {
    wchar_t value[64] = L"";
    SIZE_T size = 0;
    EXPECT_TRUE(QueryActCtxSettingsW(0, context, setting.space, setting.name,
                                     value, 64, &size))
        << GetLastError();
    EXPECT_STREQ(setting.value, value);
  }

  alignas(8) char buffer[1024] = {};
  SIZE_T size = 0;
  ASSERT_TRUE(QueryActCtxW(0, context, nullptr,
                           CompatibilityInformationInActivationContext, buffer,
                           sizeof buffer, &size))
      << GetLastError();
  // A count, then one element per entry: the GUID, its type and, since
  // Windows 10 1903 (and in Wine), the highest version tested, which moves
  // the elements to an 8-byte boundary.
  DWORD count = 0;
  memcpy(&count, buffer, sizeof count);
  ASSERT_GT(count, 0u);
  bool wide = size == 8 + 32 * count;
  ASSERT_TRUE(wide || size == 4 + 20 * count) << size;
  std::vector<std::string> systems;
  for (DWORD i = 0; i < count; ++i) {
    const char* element = buffer + (wide ? 8 + 32 * i : 4 + 20 * i);
    GUID id;
    DWORD type;
    memcpy(&id, element, sizeof id);
    memcpy(&type, element + sizeof id, sizeof type);
    if (type == ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS)
      systems.push_back(GuidText(id));
  }
  const std::vector<std::string> expected = {
      "e2011457-1546-43c5-a5fe-008deee3d3f0",  // Vista
      "35138b9a-5d96-4fbd-8e2d-a2440225f93a",  // 7
      "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",  // 8
      "1f676c76-80e1-4239-95bb-83d0f6d0da78",  // 8.1
      "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a",  // 10 and 11
  };
  EXPECT_EQ(expected, systems);
  ReleaseActCtx(context);
}

// A windowed program with the C++ runtime inside: it needs no DLL that a bare
// Windows lacks.
TEST(VersionBlockTest, AWindowsProgramThatStandsAlone) {
  std::string image = ReadFile(g_program);
  ASSERT_GT(image.size(), 0x40u);
  DWORD pe = *reinterpret_cast<const DWORD*>(&image[0x3C]);
  ASSERT_EQ(0, image.compare(pe, 4, std::string("PE\0\0", 4)));
  const IMAGE_FILE_HEADER* header =
      reinterpret_cast<const IMAGE_FILE_HEADER*>(&image[pe + 4]);
  WORD magic = *reinterpret_cast<const WORD*>(&image[pe + 24]);
  // Subsystem sits at the same place in both optional header kinds.
  WORD subsystem = *reinterpret_cast<const WORD*>(&image[pe + 24 + 68]);
  EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, subsystem);
  if (g_i386_only || header->Machine == IMAGE_FILE_MACHINE_I386) {
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, header->Machine);
    EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR32_MAGIC, magic);
  } else {
    EXPECT_EQ(IMAGE_FILE_MACHINE_AMD64, header->Machine);
  }

  // The imported DLLs, by the import directory: none of the compiler's own
  // (libstdc++, libgcc, libwinpthread) may be among them.
  bool pe32 = magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC;
  size_t directories = pe + 24 + (pe32 ? 96 : 112);
  DWORD import_rva =
      *reinterpret_cast<const DWORD*>(&image[directories +
                                             8 * IMAGE_DIRECTORY_ENTRY_IMPORT]);
  const IMAGE_SECTION_HEADER* sections =
      reinterpret_cast<const IMAGE_SECTION_HEADER*>(
          &image[pe + 24 + header->SizeOfOptionalHeader]);
  auto offset = [&](DWORD rva) -> size_t {
    for (int i = 0; i < header->NumberOfSections; ++i) {
      const IMAGE_SECTION_HEADER& section = sections[i];
      if (rva >= section.VirtualAddress &&
          rva < section.VirtualAddress + section.SizeOfRawData)
        return rva - section.VirtualAddress + section.PointerToRawData;
    }
    return 0;
  };
  std::vector<std::string> dlls;
  for (size_t at = offset(import_rva); at && at + 20 <= image.size();
       at += 20) {
    const IMAGE_IMPORT_DESCRIPTOR* entry =
        reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(&image[at]);
    if (entry->Name == 0) break;
    dlls.push_back(image.c_str() + offset(entry->Name));
  }
  EXPECT_FALSE(dlls.empty());
  for (const std::string& dll : dlls) {
    EXPECT_NE(0, _strnicmp(dll.c_str(), "lib", 3)) << dll;
  }
}

}  // namespace
}  // namespace quenby

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc > 1) {
    quenby::g_program = argv[1];
    quenby::g_i386_only = argc > 2 && std::string(argv[2]) == "i386";
  } else {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    quenby::g_program = folder.substr(0, folder.find_last_of('\\')) +
                        "\\Quenby.exe";
  }
  return RUN_ALL_TESTS();
}
