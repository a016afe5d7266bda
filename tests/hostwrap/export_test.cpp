// The built AV/C plug-in exports every accessor of every family table: each
// row's name, with its parameter types, is a defined dynamic symbol that
// dlsym finds.
#include "rows.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>

namespace {

std::multiset<std::string> &expectedNames() {
    static std::multiset<std::string> names;
    return names;
}
struct Expect {
    Expect(const char *name) { expectedNames().insert(name); }
};

#define HW_EXPECT(name) Expect HW_CAT(expect_, __COUNTER__){#name};
#define HW_ROW_MACROS "export_rows.inc"
#include "families/families.inc"

// The demangled dynamic symbols the plug-in defines, by name up to "(".
std::multimap<std::string, std::string> definedSymbols(void *handle) {
    std::multimap<std::string, std::string> out;
    link_map *map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map) return out;
    const ElfW(Sym) *symtab = nullptr;
    const char *strtab = nullptr;
    size_t count = 0;
    for (const ElfW(Dyn) *d = map->l_ld; d->d_tag != DT_NULL; ++d) {
        if (d->d_tag == DT_SYMTAB) symtab = reinterpret_cast<const ElfW(Sym) *>(d->d_un.d_ptr);
        if (d->d_tag == DT_STRTAB) strtab = reinterpret_cast<const char *>(d->d_un.d_ptr);
        if (d->d_tag == DT_HASH) count = reinterpret_cast<const uint32_t *>(d->d_un.d_ptr)[1];
    }
    if (!symtab || !strtab) return out;
    if (count == 0)
        count =
            size_t(reinterpret_cast<const char *>(strtab) - reinterpret_cast<const char *>(symtab)) / sizeof(ElfW(Sym));
    for (size_t i = 0; i < count; ++i) {
        const ElfW(Sym) &s = symtab[i];
        if (s.st_shndx == SHN_UNDEF || ELF64_ST_TYPE(s.st_info) != STT_FUNC) continue;
        const char *mangled = strtab + s.st_name;
        int status = 0;
        char *plain = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
        std::string text = status == 0 && plain ? plain : mangled;
        std::free(plain);
        out.emplace(text.substr(0, text.find('(')), mangled);
    }
    return out;
}

}  // namespace

TEST(Exports, EveryAccessorIsADefinedSymbolOfThePlugin) {
    void *handle = dlopen(TAVRIN_AVC_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto symbols = definedSymbols(handle);
    ASSERT_FALSE(symbols.empty());
    std::set<std::string> seen;
    for (const std::string &name : expectedNames()) {
        if (!seen.insert(name).second) continue;
        auto [first, last] = symbols.equal_range(name);
        size_t overloads = expectedNames().count(name);
        EXPECT_EQ(size_t(std::distance(first, last)), overloads) << name;
        for (auto it = first; it != last; ++it) EXPECT_NE(dlsym(handle, it->second.c_str()), nullptr) << it->second;
    }
    std::printf("%zu accessors exported\n", expectedNames().size());
    dlclose(handle);
}

TEST(Exports, StringJoinTakesAStringArrayFirst) {
    void *handle = dlopen(TAVRIN_AVC_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    EXPECT_NE(dlsym(handle, "_Z11String_JoinP21REALstringArrayStructP16REALstringStruct"), nullptr);
    dlclose(handle);
}
