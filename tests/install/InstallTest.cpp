// What `cmake --install` puts under a prefix and what the Debian package carries, as a packager
// and a user meet them.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string output;  // standard output and error together
};

Result Shell(const std::string& command) {
    Result result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string Quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A man page as its roff source, with the escaped hyphens plain.
std::string ManSource(const fs::path& page) {
    std::string text = Shell("zcat " + Quoted(page)).output;
    for (std::size_t pos; (pos = text.find("\\-")) != std::string::npos;) text.erase(pos, 1);
    return text;
}

// Every long option named in a help text.
std::set<std::string> LongOptions(const std::string& text) {
    static const std::regex option("--[a-z][a-z-]*");
    std::set<std::string> options;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        options.insert(it->str());
    return options;
}

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "quillon-install-XXXXXX").string();
        if (mkdtemp(pattern.data())) m_path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!m_path.empty()) fs::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

// One installation into a fresh prefix, shared by the suite.
class Installed : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_prefix = new TempDir;
        s_install = new Result(Shell(std::string(QUILLON_CMAKE) + " --install " + Quoted(QUILLON_BUILD_DIR) +
                                     " --prefix " + Quoted(s_prefix->Path())));
    }
    static void TearDownTestSuite() {
        delete s_install;
        delete s_prefix;
    }
    void SetUp() override {
        ASSERT_FALSE(s_prefix->Path().empty());
        ASSERT_EQ(s_install->status, 0) << s_install->output;
    }
    static fs::path At(const std::string& relative) { return s_prefix->Path() / relative; }
    // A program of the prefix run as from a shell without any display.
    static Result RunInstalled(const std::string& program, const std::string& args) {
        return Shell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + Quoted(At("bin/" + program)) +
                     " " + args);
    }

    static TempDir* s_prefix;
    static Result* s_install;
};

TempDir* Installed::s_prefix = nullptr;
Result* Installed::s_install = nullptr;

constexpr int kRequiredIconSizes[] = {16, 32, 48, 64, 128, 256};

TEST_F(Installed, PutsTheProgramsManPagesDesktopEntryAndIconsAndNothingElse) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(s_prefix->Path())) {
        if (!entry.is_directory()) files.insert(fs::relative(entry.path(), s_prefix->Path()).string());
    }
    std::set<std::string> expected{"bin/quillon",
                                   "bin/quillon-sim",
                                   "share/applications/quillon.desktop",
                                   "share/man/man1/quillon.1.gz",
                                   "share/man/man1/quillon-sim.1.gz",
                                   "share/icons/hicolor/scalable/apps/quillon.svg",
                                   "share/doc/quillon/copyright",
                                   "share/doc/quillon/changelog.gz"};
    for (int size : kRequiredIconSizes)
        expected.insert("share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) +
                        "/apps/quillon.png");
    // Further PNG sizes are welcome; anything else is not. The plot window's library lies in the
    // program's own folder under the (multiarch) library folder.
    std::set<std::string> unexpected;
    static const std::regex extraIcon(R"(share/icons/hicolor/\d+x\d+/apps/quillon\.png)");
    static const std::regex plotLibrary(R"(lib/([a-z0-9_]+-[a-z0-9_-]+/)?quillon/libquillon_history\.so)");
    bool bPlotLibrary = false;
    for (const auto& file : files) {
        const bool bPlot = std::regex_match(file, plotLibrary);
        bPlotLibrary |= bPlot;
        if (!expected.count(file) && !bPlot && !std::regex_match(file, extraIcon)) unexpected.insert(file);
    }
    EXPECT_TRUE(bPlotLibrary) << "no plot library";
    for (const auto& file : expected) EXPECT_TRUE(files.count(file)) << "missing " << file;
    for (const auto& file : unexpected) ADD_FAILURE() << "unexpected " << file;

    for (const char* program : {"bin/quillon", "bin/quillon-sim"}) {
        EXPECT_NE(fs::status(At(program)).permissions() & fs::perms::others_exec, fs::perms::none) << program;
    }
}

TEST_F(Installed, ProgramsAnswerHelpAndVersionWithoutOpeningAWindow) {
    const std::string version = QUILLON_VERSION_TEXT;
    Result result = RunInstalled("quillon", "--version");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "quillon " + version + "\n");

    result = RunInstalled("quillon", "--help");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output.rfind("Usage: quillon", 0), 0u) << result.output;
    EXPECT_NE(result.output.find("QUILLON_COM"), std::string::npos);

    result = RunInstalled("quillon", "--no-such-option --version");
    EXPECT_EQ(result.status, 2) << result.output;
    EXPECT_EQ(result.output.find("quillon " + version), std::string::npos) << result.output;

    result = RunInstalled("quillon-sim", "--version");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "quillon-sim " + version + "\n");
}

TEST_F(Installed, DesktopEntryValidatesAndStartsTheInstalledProgram) {
    const fs::path entry = At("share/applications/quillon.desktop");
    const Result result = Shell("desktop-file-validate " + Quoted(entry));
    EXPECT_EQ(result.status, 0) << result.output;
    // Hints are advice; errors and warnings are faults.
    EXPECT_EQ(result.output.find("error:"), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("warning:"), std::string::npos) << result.output;

    const std::string text = ReadFile(entry);
    EXPECT_NE(text.find("\nExec=quillon\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nIcon=quillon\n"), std::string::npos) << text;
    // One main category, so that a menu lists the program once.
    std::smatch categories;
    ASSERT_TRUE(std::regex_search(text, categories, std::regex("\nCategories=([^\n]*)\n"))) << text;
    static const std::set<std::string> kMainCategories{
        "AudioVideo", "Audio",  "Video",   "Development", "Education", "Game",   "Graphics",
        "Network",    "Office", "Science", "Settings",    "System",    "Utility"};
    std::vector<std::string> main;
    std::istringstream list(categories[1].str());
    for (std::string category; std::getline(list, category, ';');) {
        if (kMainCategories.count(category)) main.push_back(category);
    }
    EXPECT_EQ(main, std::vector<std::string>{"System"}) << categories[1];
}

TEST_F(Installed, ManPagesFormatWithoutWarningsAndCarryTheVersion) {
    for (const char* page : {"share/man/man1/quillon.1.gz", "share/man/man1/quillon-sim.1.gz"}) {
        const Result result = Shell("zcat " + Quoted(At(page)) + " | groff -man -ww -z");
        EXPECT_EQ(result.status, 0) << page;
        EXPECT_EQ(result.output, "") << page;
        EXPECT_NE(ManSource(At(page)).find("\"Quillon " QUILLON_VERSION_TEXT "\""), std::string::npos)
            << page;
    }
}

TEST_F(Installed, QuillonManPageListsEveryPortVariableAndOption) {
    const std::string page = ManSource(At("share/man/man1/quillon.1.gz"));
    for (int n = 1; n <= 8; ++n) {
        EXPECT_NE(page.find("QUILLON_COM" + std::to_string(n)), std::string::npos) << n;
    }
    for (const auto& option : LongOptions(RunInstalled("quillon", "--help").output)) {
        EXPECT_NE(page.find(option), std::string::npos) << option;
    }
}

TEST_F(Installed, SimulatorManPageDocumentsEveryOptionOfItsHelp) {
    const std::string page = ManSource(At("share/man/man1/quillon-sim.1.gz"));
    const auto options = LongOptions(RunInstalled("quillon-sim", "--help").output);
    EXPECT_GT(options.size(), 15u);
    // Each option heads its own entry: a bold tag line that names it.
    for (const auto& option : options) {
        const std::regex entry("(^|\n)\\.B[IR]?( [^\n]*)? " + option + "([ \"\n]|$)");
        EXPECT_TRUE(std::regex_search(page, entry)) << option;
    }
}

TEST_F(Installed, EveryIconHasTheSizeItsFolderNames) {
    const fs::path hicolor = At("share/icons/hicolor");
    EXPECT_NE(ReadFile(hicolor / "scalable/apps/quillon.svg").find("<svg"), std::string::npos);
    int pngs = 0;
    for (const auto& folder : fs::directory_iterator(hicolor)) {
        const std::string name = folder.path().filename().string();
        if (name == "scalable") continue;
        const int size = std::stoi(name);
        ASSERT_EQ(name, std::to_string(size) + "x" + std::to_string(size));
        // The PNG header: signature, IHDR length and type, then width and height, big-endian.
        const std::string png = ReadFile(folder.path() / "apps/quillon.png");
        ASSERT_GE(png.size(), 24u) << name;
        EXPECT_EQ(png.substr(1, 3), "PNG") << name;
        const auto at = [&png](std::size_t offset) {
            int value = 0;
            for (std::size_t i = 0; i < 4; ++i)
                value = value << 8 | static_cast<unsigned char>(png[offset + i]);
            return value;
        };
        EXPECT_EQ(at(16), size) << name;
        EXPECT_EQ(at(20), size) << name;
        ++pngs;
    }
    EXPECT_GE(pngs, static_cast<int>(std::size(kRequiredIconSizes)));
}

// The package's one field, as dpkg-deb prints it.
std::string Field(const fs::path& deb, const std::string& name) {
    std::string value = Shell("dpkg-deb -f " + Quoted(deb) + " " + name).output;
    while (!value.empty() && value.back() == '\n') value.pop_back();
    return value;
}

// "a (>= 1), b | c" gives a, b and c.
std::set<std::string> PackageNames(const std::string& depends) {
    static const std::regex name(R"((^|[,|])\s*([a-z0-9][a-z0-9+.-]*))");
    std::set<std::string> names;
    for (auto it = std::sregex_iterator(depends.begin(), depends.end(), name); it != std::sregex_iterator();
         ++it)
        names.insert((*it)[2].str());
    return names;
}

TEST(DebianPackage, DependsOnTheRuntimeLibrariesAndFontsAndCarriesTheInstallation) {
    TempDir out;
    ASSERT_FALSE(out.Path().empty());
    const Result made =
        Shell("cd " + Quoted(out.Path()) + " && " + QUILLON_CPACK + " -G DEB --config " +
              Quoted(fs::path(QUILLON_BUILD_DIR) / "CPackConfig.cmake") + " -B " + Quoted(out.Path()));
    ASSERT_EQ(made.status, 0) << made.output;
    std::string arch = Shell("dpkg --print-architecture").output;
    arch.erase(arch.find_last_not_of('\n') + 1);
    const fs::path deb = out.Path() / ("quillon_" QUILLON_VERSION_TEXT "_" + arch + ".deb");
    ASSERT_TRUE(fs::exists(deb)) << made.output;

    EXPECT_EQ(Field(deb, "Package"), "quillon");
    EXPECT_EQ(Field(deb, "Version"), QUILLON_VERSION_TEXT);
    EXPECT_EQ(Field(deb, "Architecture"), arch);
    const std::string depends = Field(deb, "Depends");
    const auto names = PackageNames(depends);
    for (const char* needed : {"libc6", "libstdc++6", "libqt6core6", "libqt6gui6", "libqt6widgets6",
                               "fonts-liberation", "fonts-arphic-uming"}) {
        EXPECT_TRUE(names.count(needed)) << needed << " missing from: " << depends;
    }
    // The pictures are drawn by the build: the SVG module is one of its tools, not the program's.
    static const std::regex buildOnly(
        R"(.*-dev|cmake|ninja-build|build-essential|g\+\+.*|.*gtest.*|.*gmock.*|.*benchmark.*|googletest|libqt6svg.*)");
    for (const auto& name : names)
        EXPECT_FALSE(std::regex_match(name, buildOnly)) << name << " in: " << depends;

    const std::string contents = Shell("dpkg-deb -c " + Quoted(deb)).output;
    for (const char* file :
         {"./usr/bin/quillon", "./usr/bin/quillon-sim", "./usr/share/applications/quillon.desktop",
          "./usr/share/man/man1/quillon.1.gz", "./usr/share/man/man1/quillon-sim.1.gz",
          "./usr/share/icons/hicolor/scalable/apps/quillon.svg",
          "./usr/share/icons/hicolor/48x48/apps/quillon.png", "./usr/share/doc/quillon/copyright",
          "./usr/share/doc/quillon/changelog.gz"}) {
        EXPECT_NE(contents.find(std::string(file) + "\n"), std::string::npos) << file << " not in:\n"
                                                                              << contents;
    }
    // The pictures are stored compressed: the program is a few megabytes at most, unless a
    // sanitizer's instrumentation makes it several times its size.
    std::smatch program;
    ASSERT_TRUE(std::regex_search(contents, program, std::regex(R"( (\d+) \S+ \S+ \./usr/bin/quillon\n)")))
        << contents;
    if (!QUILLON_SANITIZED) {
        EXPECT_LE(std::stoll(program[1]), 4ll << 20);
    }

    // A packager's check, at its most demanding: no error and no warning.
    const Result lint = Shell("lintian --fail-on error,warning -EvIL +pedantic " + Quoted(deb));
    EXPECT_EQ(lint.status, 0) << lint.output;
}

}  // namespace
