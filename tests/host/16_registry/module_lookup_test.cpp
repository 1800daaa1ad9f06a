// module_lookup_test.cpp - GetModuleHandleA and GetModuleFileNameA over the shared
// objects loaded in the process: lookup by file name and by path, the absolute path
// answered, and the cut of a path that does not fit the caller's buffer.
#include <windows.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

class ModuleLookup : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/lookup-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        mDir = pattern;
    }
    void TearDown() override {
        for (void *h : mLoaded)
            dlclose(h);
        fs::remove_all(mDir);
    }
    // Copies the test's shared object to dir/name and loads it from path.
    fs::path install(const fs::path &relativeDir, const std::string &name) {
        fs::create_directories(mDir / relativeDir);
        fs::path target = mDir / relativeDir / name;
        fs::copy_file(LOOKUP_OBJECT, target);
        return target;
    }
    void *load(const std::string &path) {
        void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(h, nullptr) << dlerror();
        if (h != nullptr)
            mLoaded.push_back(h);
        return h;
    }
    static std::string fileName(HMODULE module) {
        char buf[4096];
        DWORD n = GetModuleFileNameA(module, buf, sizeof buf);
        return std::string(buf, n);
    }

    fs::path mDir;
    std::vector<void *> mLoaded;
};

// Test that a loaded object is found by its file name in any case and by its full path,
// and that the path answered is absolute even when it was loaded by a relative one.
TEST_F(ModuleLookup, FindsLoadedObjectsByNameAndPath) {
    fs::path path = install("a", "tevcom.arx");
    EXPECT_EQ(GetModuleHandleA("tevcom.arx"), nullptr);
    fs::path cwd = fs::current_path();
    fs::current_path(mDir);
    load("./a/tevcom.arx");
    fs::current_path(cwd);

    HMODULE byName = GetModuleHandleA("tevcom.arx");
    ASSERT_NE(byName, nullptr);
    EXPECT_EQ(GetModuleHandleA("TEVCOM.ARX"), byName);
    EXPECT_EQ(GetModuleHandleA(path.c_str()), byName);
    EXPECT_EQ(GetModuleHandleA("tevcom"), nullptr); // no extension means ".dll"
    EXPECT_EQ(GetModuleHandleA("tevcom.ar"), nullptr);
    EXPECT_EQ(GetModuleHandleA((mDir / "b" / "tevcom.arx").c_str()), nullptr);
    EXPECT_EQ(fileName(byName), path.string());
}

// Test the ".dll" Windows adds to a name without extension, and the final dot that
// stops it.
TEST_F(ModuleLookup, NamesWithoutExtensionMeanDll) {
    load(install("d", "probe.dll").string());
    load(install("d", "plain").string());
    EXPECT_NE(GetModuleHandleA("PROBE"), nullptr);
    EXPECT_EQ(GetModuleHandleA("probe."), nullptr);
    EXPECT_NE(GetModuleHandleA("plain."), nullptr);
    EXPECT_EQ(GetModuleHandleA("plain"), nullptr);
}

// Test that two copies under different names are told apart, and that an object no
// longer loaded is no longer found.
TEST_F(ModuleLookup, CopiesAreToldApartAndUnloadedOnesForgotten) {
    fs::path first = install("one", "first.arx");
    fs::path second = install("two", "second.arx");
    void *h1 = load(first.string());
    load(second.string());
    HMODULE m1 = GetModuleHandleA("first.arx");
    HMODULE m2 = GetModuleHandleA("second.arx");
    ASSERT_NE(m1, nullptr);
    ASSERT_NE(m2, nullptr);
    EXPECT_NE(m1, m2);
    EXPECT_EQ(fileName(m1), first.string());
    EXPECT_EQ(fileName(m2), second.string());
    dlclose(h1);
    mLoaded.erase(mLoaded.begin());
    EXPECT_EQ(GetModuleHandleA("first.arx"), nullptr);
    EXPECT_EQ(GetModuleFileNameA(m1, nullptr, 0), 0u);
    char buf[16];
    EXPECT_EQ(GetModuleFileNameA(m1, buf, sizeof buf), 0u);
}

// Test that no name means the executable, whose path is the one the kernel reports.
TEST_F(ModuleLookup, NoNameIsTheExecutable) {
    HMODULE exe = GetModuleHandleA(nullptr);
    ASSERT_NE(exe, nullptr);
    std::string self = fs::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(fileName(exe), self);
    EXPECT_EQ(fileName(nullptr), self);
}

// Test the cut of a path that does not fit: nSize - 1 characters and a NUL, nSize
// answered, nothing written past the buffer; a buffer one larger than the path takes it.
TEST_F(ModuleLookup, LongPathsAreCutWithinTheBuffer) {
    fs::path path = install(std::string(120, 'd') + "/" + std::string(120, 'e'), "tevcom.arx");
    load(path.string());
    HMODULE m = GetModuleHandleA("tevcom.arx");
    ASSERT_NE(m, nullptr);
    const std::string full = path.string();
    const auto len = static_cast<DWORD>(full.size());

    std::string buf(len + 8, '#');
    EXPECT_EQ(GetModuleFileNameA(m, buf.data(), len + 1), len);
    EXPECT_EQ(buf.substr(0, len + 1), full + '\0');
    EXPECT_EQ(buf[len + 1], '#');

    buf.assign(len + 8, '#');
    EXPECT_EQ(GetModuleFileNameA(m, buf.data(), len), len);
    EXPECT_EQ(buf.substr(0, len), full.substr(0, len - 1) + '\0');
    EXPECT_EQ(buf[len], '#');

    buf.assign(8, '#');
    EXPECT_EQ(GetModuleFileNameA(m, buf.data(), 1), 1u);
    EXPECT_EQ(buf[0], '\0');
    EXPECT_EQ(buf[1], '#');
    EXPECT_EQ(GetModuleFileNameA(m, buf.data(), 0), 0u);
    EXPECT_EQ(buf[0], '\0');
}

} // namespace
