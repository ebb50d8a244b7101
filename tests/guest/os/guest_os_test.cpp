// Our guest system in the real emulator: shell scripts given with -CMDLINE, checked
// through the debug transcript, the host folder behind DOS1_, and -SNAP pictures of the
// console compared pixel by pixel with the font's own art.
#include "guest_runner.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <png.h>

#include "pdf_tools.h"
#include "ser_pty.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <thread>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// True when `text` has the shape of `pattern`: '9' stands for a decimal digit, 'X' for an
// upper-case hexadecimal digit, '*' for any run of letters; everything else for itself.
bool shaped(const std::string& text, const std::string& pattern)
{
    size_t t = 0;
    for (size_t p = 0; p < pattern.size(); ++p) {
        const char c = pattern[p];
        if (c == '*') {
            while (t < text.size() && std::isalpha((unsigned char)text[t])) ++t;
            continue;
        }
        if (t >= text.size()) return false;
        const char got = text[t++];
        if (c == '9'   ? !std::isdigit((unsigned char)got)
            : c == 'X' ? !(std::isdigit((unsigned char)got) || (got >= 'A' && got <= 'F'))
                       : got != c)
            return false;
    }
    return t == text.size();
}

std::string fileText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class GuestOs : public ::testing::Test {
protected:
    void SetUp() override
    {
        drive = dir.path() / "drive";
        fs::create_directories(drive);
        fs::create_directories(dir.path() / "tmp");
    }

    GuestRun run(const std::string& script, const std::string& extraIni = "", std::vector<std::string> extraArgs = {})
    {
        GuestRunOptions o;
        o.args = {"-OS", ZEM_GUEST_IMAGE, "-DBG", "0", "-CMDLINE", script};
        o.args.insert(o.args.end(), extraArgs.begin(), extraArgs.end());
        o.iniContents = "[Emulation]\nMemory=8\n[DOS]\nDOS1=" + drive.string() + "\n" + extraIni;
        o.environment = {{"TMPDIR", dir.file("tmp")}, {"QT_QPA_PLATFORM", "offscreen"}};
        o.timeLimit = std::chrono::milliseconds(60000);
        GuestRun r = runGuest(o);
        EXPECT_TRUE(r.exited && r.exitCode == 0) << r.describe();
        return r;
    }

    zemtest::TempDir dir{"guest-os"};
    fs::path drive;
};

TEST_F(GuestOs, BasicCommandsAndErrorsKeepTheScriptGoing)
{
    const GuestRun r = run("echo hello  world;ver;nosuch thing;echo;help;echo \"a  b\";mode 9;quit;echo never");
    EXPECT_TRUE(r.linesInOrder({"> echo hello  world", "hello world", "> ver"})) << r.describe();
    EXPECT_TRUE(r.contains("ZEM2 guest system 1.0, host ")) << r.describe();
    EXPECT_TRUE(r.linesInOrder(
        {"nosuch: unknown command (try help)", "commands:", "a  b", "mode: bad parameter", "> quit", "bye"}))
        << r.describe();
    EXPECT_FALSE(r.contains("never"));
}

// Garbage, blanks, empty commands, a line of 10,000 characters: messages, never a crash,
// and the script still reaches its end.
TEST_F(GuestOs, BadInputGivesMessagesNotCrashes)
{
    std::string longWord(10000, 'x');
    const GuestRun r = run(";;  ; \x01\x7f\xff garbage \"unclosed;" + longWord + ";echo " + longWord + ";type DOS1_" +
                           longWord + ";calc (((1;calc 1/0;calc 2**3;quit");
    EXPECT_FALSE(r.contains("exception")) << r.describe();
    EXPECT_TRUE(r.contains(": unknown command (try help)")) << r.describe();
    EXPECT_TRUE(r.contains("type: DOS1_xxx")) << r.describe();
    EXPECT_TRUE(
        r.linesInOrder({"calc: syntax error at: end", "calc: arithmetic overflow", "calc: syntax error at: *3", "bye"}))
        << r.describe();
    // The long echo reaches the transcript whole, in pieces.
    size_t xs = 0;
    for (const std::string& line : r.lines())
        if (line.find_first_not_of('x') == std::string::npos) xs += line.size();
    EXPECT_GE(xs, 10000u);
}

// The INI's settings reach the guest through its settings block, and the guest follows
// them; a fault in a command is reported by the guest and the script goes on.
TEST_F(GuestOs, SettingsReachTheGuestAndFaultsReturnToTheShell)
{
    const GuestRun r = run("config;mode;crash;echo after;crash;quit",
                           "[Screen]\nColourDepth=2\nResolutionX=700\nResolutionY=300\n[Keyboard]\nKeyboardDriver=0\n"
                           "[General]\nCountryCode=49\n");
    EXPECT_TRUE(r.linesInOrder(
        {"resolution 700x300, colour depth 2, keyboard driver 0 (scan codes), country 49", "696x300 8-bit"}))
        << r.describe();
    const auto lines = r.lines();
    int faults = 0;
    for (const std::string& line : lines) faults += shaped(line, "exception 4 at $000XXXXX - back to the shell");
    EXPECT_EQ(faults, 2) << r.describe();
    EXPECT_TRUE(r.linesInOrder({"> crash", "> echo after", "after", "> crash", "> quit", "bye"})) << r.describe();
}

TEST_F(GuestOs, FileCommandsOnAHostFolder)
{
    std::ofstream(drive / "notes") << "first line\nsecond line\n";
    const GuestRun r =
        run("copy DOS1_notes DOS1_copy;type DOS1_copy;mkdir DOS1_sub;copy DOS1_notes DOS1_sub_inner;"
            "rename DOS1_copy DOS1_moved;rename DOS1_notes DOS1_moved;dir DOS1_;dir DOS1_sub;delete DOS1_moved;"
            "delete DOS1_missing;type DOS1_missing;copy DOS1_notes DOS1_../escape;type DOS1_a/b;mkdir DOS9_x;"
            "dir WIN1_;quit");
    EXPECT_TRUE(r.linesInOrder({"23 bytes copied", "first line", "second line", "made", "23 bytes copied", "renamed",
                                "rename: DOS1_moved: already exists"}))
        << r.describe();
    EXPECT_TRUE(r.linesInOrder({"> dir DOS1_", "moved                    23", "notes                    23",
                                "sub                      <dir>", "3 entries", "> dir DOS1_sub",
                                "sub_inner                23", "1 entries"}))
        << r.describe();
    EXPECT_TRUE(r.linesInOrder({"deleted", "delete: DOS1_missing: not found", "type: DOS1_missing: not found",
                                "copy: DOS1_../escape: bad name", "type: DOS1_a/b: bad name", "mkdir: DOS9_x: bad name",
                                "dir: WIN1_: not implemented"}))
        << r.describe();
    EXPECT_EQ(fileText(drive / "notes"), "first line\nsecond line\n");
    EXPECT_EQ(fileText(drive / "sub" / "inner"), "first line\nsecond line\n");
    EXPECT_FALSE(fs::exists(drive / "moved"));
    EXPECT_FALSE(fs::exists(drive / "copy"));
    EXPECT_FALSE(fs::exists(dir.path() / "escape"));
    // The listing files the host made for dir are gone again.
    for (const auto& e : fs::directory_iterator(dir.path() / "tmp"))
        EXPECT_NE(e.path().extension(), ".tmp") << e.path();
}

// Sector commands on a container drive: a hex dump of one sector, sectors copied into a
// host file, and a sector past the end refused.
TEST_F(GuestOs, ContainerSectorsDumpAndCopy)
{
    std::string container(4 * 512, '\0');
    for (size_t i = 0; i < container.size(); ++i) container[i] = char('A' + (i / 512) + (i % 7));
    container.replace(512, 10, "SECTOR ONE");
    const fs::path file = dir.path() / "disk.win";
    std::ofstream(file, std::ios::binary) << container;
    const GuestRun r =
        run("dump WIN1_ 1;secopy WIN1_ 0 4 DOS1_image;dump WIN1_ 99;dump WIN1_ x;secopy WIN1_ 3 2 DOS1_tail;"
            "dump DOS1_ 0;dump FLP1_ 0/0;quit",
            "[WIN]\nWIN1=" + file.string() + "\n");
    EXPECT_TRUE(r.linesInOrder(
        {"> dump WIN1_ 1", "000  53 45 43 54 4F 52 20 4F 4E 45 46 47 48 42 43 44  SECTOR ONEFGHBCD", "4 sectors copied",
         "dump: WIN1_: bad or changed medium", "dump: x: bad parameter", "secopy: WIN1_: bad or changed medium",
         "1 sectors copied", "dump: DOS1_: bad name", "dump: 0/0: bad parameter"}))
        << r.describe();
    EXPECT_EQ(fileText(drive / "image"), container);
    EXPECT_EQ(fileText(drive / "tail"), container.substr(3 * 512));
}

// Text out of serial port 1 and the peer's answer back in, over a pseudo-terminal.
TEST_F(GuestOs, SerialSendAndReceive)
{
    TestPty pty;
    ASSERT_TRUE(pty.ok());
    std::vector<uint8_t> fromGuest;
    std::thread peer([&] {
        fromGuest = pty.read(12);
        const std::string reply = "answer from the peer\r\n";
        pty.write(std::vector<uint8_t>(reply.begin(), reply.end()));
    });
    const GuestRun r = run("ser 1 send hello world;ser 1 recv;ser 2 send x;quit",
                           "[Serial]\nPort1=1\nDevice1=" + pty.slavePath() + "\n");
    peer.join();
    EXPECT_EQ(std::string(fromGuest.begin(), fromGuest.end()), "hello world\n");
    EXPECT_TRUE(r.linesInOrder(
        {"12 bytes sent", "> ser 1 recv", "answer from the peer", "22 bytes received", "> ser 2 send x"}))
        << r.describe();
    // Port 2 leads nowhere: the open fails with a message.
    const int at = r.findLine("> ser 2 send x");
    ASSERT_GE(at, 0);
    EXPECT_EQ(r.lines()[size_t(at) + 1].rfind("ser: ", 0), 0u) << r.describe();
}

TEST_F(GuestOs, CalcTimeDateAndClipboard)
{
    const GuestRun r =
        run("calc 1+2*3;calc (1+2)*3;calc 1/3;calc -7.25*4;calc 0.1+0.2;calc sqrt(16)/8;"
            "calc 2*1073741824;time;date;clip put copied text;clip get;quit");
    EXPECT_TRUE(r.linesInOrder({"7", "9", "0.333333", "-29", "0.3", "0.5", "2.147484E+9"})) << r.describe();
    const auto lines = r.lines();
    int timeAt = r.findLine("> time"), dateAt = r.findLine("> date");
    ASSERT_GE(timeAt, 0);
    ASSERT_GE(dateAt, 0);
    EXPECT_TRUE(shaped(lines[size_t(timeAt) + 1], "99:99:99")) << lines[size_t(timeAt) + 1];
    EXPECT_TRUE(shaped(lines[size_t(dateAt) + 1], "9999-99-99 *") && lines[size_t(dateAt) + 1].ends_with("day"))
        << lines[size_t(dateAt) + 1];
    EXPECT_TRUE(r.linesInOrder({"clipboard set", "copied text"})) << r.describe();
}

// One HTTP exchange on a loopback port: takes the request, answers, closes.
class OneShotHttp {
public:
    explicit OneShotHttp(std::string reply) : reply_(std::move(reply))
    {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(listener_, 1);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] {
            int c = accept(listener_, nullptr, nullptr);
            if (c < 0) return;
            char buffer[2048];
            while (request_.find("\r\n\r\n") == std::string::npos) {
                ssize_t n = read(c, buffer, sizeof buffer);
                if (n <= 0) break;
                request_.append(buffer, size_t(n));
            }
            (void)!write(c, reply_.data(), reply_.size());
            close(c);
        });
    }
    ~OneShotHttp()
    {
        shutdown(listener_, SHUT_RDWR);
        close(listener_);
        thread_.join();
    }
    int port() const { return port_; }
    const std::string& request() const { return request_; }

private:
    std::string reply_, request_;
    int listener_ = -1, port_ = 0;
    std::thread thread_;
};

TEST_F(GuestOs, DeviceCommandsTalkToTheHost)
{
    const std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nbody line one\nbody line two\n";
    OneShotHttp web(reply);
    const fs::path disc = dir.path() / "disc.txt";
    std::ofstream(disc) << "track 1 00:02:00\ntrack 2 03:10:20\ntrack 3 07:45:00\nleadout 12:00:00\n";
    const std::string port = std::to_string(web.port());
    GuestRunOptions o;
    o.args = {"-OS",
              ZEM_GUEST_IMAGE,
              "-DBG",
              "0",
              "-CMDLINE",
              "net get 127.0.0.1 " + port + " /page.txt;net get 127.0.0.1 " + port +
                  " nopath;cd play 2;cd play 4;cd stop;beep 300 10;beep 20 100;ser 9 recv;ser 1 talk;quit"};
    o.iniContents = "[Emulation]\nMemory=8\n";
    o.environment = {
        {"TMPDIR", dir.file("tmp")}, {"QT_QPA_PLATFORM", "offscreen"}, {"ZEM_CD_SIMULATED", disc.string()}};
    const GuestRun r = runGuest(o);
    ASSERT_TRUE(r.exited && r.exitCode == 0) << r.describe();
    EXPECT_EQ(web.request().substr(0, web.request().find("\r\n")), "GET /page.txt HTTP/1.0");
    EXPECT_TRUE(r.linesInOrder({"HTTP/1.0 200 OK", "Content-Type: text/plain", "", "body line one", "body line two",
                                std::to_string(reply.size()) + " bytes received", "usage: net get HOST PORT /PATH"}))
        << r.describe();
    // Track 2 runs from 03:10:20 to 07:45:00: 274 seconds and a few frames.
    EXPECT_TRUE(
        r.linesInOrder({"playing track 2, 274 seconds", "cd: not found", "usage: cd play TRACK",
                        "usage: beep PITCH (0-254) DURATION (1-32767)", "beep",
                        "usage: ser PORT send TEXT | ser PORT recv", "usage: ser PORT send TEXT | ser PORT recv"}))
        << r.describe();
}

// print sends the file through PAR1; the printer program turns the job into a PDF.
TEST_F(GuestOs, PrintGoesThroughTheParallelPortToThePrinter)
{
    const std::string pdf = dir.file("out.pdf");
    const std::string letter = "\x1b@Printed from our guest\r\nSecond line\r\n\x0c";
    std::ofstream(drive / "letter") << letter;
    fs::create_directories(dir.path() / "run");
    fs::permissions(dir.path() / "run", fs::perms::owner_all);
    GuestRunOptions o;
    o.args = {"-OS", ZEM_GUEST_IMAGE, "-DBG", "0", "-CMDLINE", "print DOS1_letter;print DOS1_none;quit"};
    o.iniContents = "[Emulation]\nMemory=8\n[DOS]\nDOS1=" + drive.string() +
                    "\n[Parallel]\nPort1=4\nFilter1=1\nPrinter1=" + pdf + "\n";
    o.environment = {{"TMPDIR", dir.file("tmp")},
                     {"QT_QPA_PLATFORM", "offscreen"},
                     {"ZEMPRINT_INI", dir.file("ZEMPrint.ini")},
                     {"XDG_RUNTIME_DIR", dir.file("run")},
                     {"CUPS_SERVER", "127.0.0.1:1"}};
    o.workingDirectory = dir.path().string();
    o.timeLimit = std::chrono::milliseconds(60000);
    const GuestRun r = runGuest(o);
    ASSERT_TRUE(r.exited && r.exitCode == 0) << r.describe();
    EXPECT_TRUE(r.linesInOrder({std::to_string(letter.size()) + " bytes sent to PAR1", "print: DOS1_none: not found"}))
        << r.describe();
    for (int i = 0; i < 600 && zemprint::test::pdfPageCount(pdf) != 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(zemprint::test::pdfPageCount(pdf), 1);
    const std::string text = zemprint::test::pdfText(pdf, 1);
    EXPECT_NE(text.find("Printed from our guest"), std::string::npos) << text;
    EXPECT_NE(text.find("Second line"), std::string::npos) << text;
}

// The font's art as the guest source holds it: 95 glyphs of 9 rows of 5 characters.
std::vector<std::array<std::string, 9>> fontArt()
{
    std::vector<std::array<std::string, 9>> glyphs;
    std::ifstream in(ZEM_GUEST_FONT);
    std::string line;
    while (std::getline(in, line)) {
        // A glyph line holds nine quoted rows of five '.' or '#'.
        std::array<std::string, 9> g;
        int n = 0;
        size_t at = line.find('"');
        while (at != std::string::npos && n < 9) {
            const std::string row = line.substr(at + 1, 5);
            const bool isRow = row.size() == 5 && row.find_first_not_of(".#") == std::string::npos &&
                               at + 6 < line.size() && line[at + 6] == '"';
            if (isRow) g[size_t(n++)] = row;
            at = line.find('"', isRow ? at + 7 : at + 1);
        }
        if (n == 9) glyphs.push_back(g);
    }
    return glyphs;
}

std::vector<uint32_t> readPng(const std::string& path, unsigned& width, unsigned& height)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
    width = image.width;
    height = image.height;
    std::vector<uint32_t> out(size_t(width) * height);
    for (size_t i = 0; i < out.size(); ++i) out[i] = uint32_t(rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2]);
    return out;
}

// Under Xvfb: a command typed into the window runs, its output is in the transcript and
// on the screen.
TEST_F(GuestOs, CommandTypedIntoTheWindowRuns)
{
    const std::string xvfb = "/usr/bin/xvfb-run";
    if (!fs::exists(xvfb) || !fs::exists("/usr/bin/xdotool")) GTEST_SKIP() << "xvfb-run or xdotool missing";
    // The sanitizer configuration forces Qt's offscreen platform: no window to type into.
    if (const char* platform = getenv("QT_QPA_PLATFORM"); platform && std::string(platform) == "offscreen")
        GTEST_SKIP() << "Qt's offscreen platform is forced";
    const std::string snap = dir.file("typed.png");
    const std::string ini = dir.file("zem.ini");
    std::ofstream(ini)
        << "[General]\nShowDialog=1\n[Emulation]\nMemory=8\n[Screen]\nWindowMode=1\nColourDepth=3\nResolutionX=640\n"
           "ResolutionY=480\n[Keyboard]\nKeyboardDriver=1\n";
    const std::string script =
        std::string(ZEM2_PROGRAM) + " -OS " + ZEM_GUEST_IMAGE + " -INI " + ini + " -DBG 0 -SNAP " + snap +
        " & pid=$!; "
        "for i in 1 2 3 4 5 6 7 8 9 10; do "
        "xdotool search --sync --onlyvisible --name '^ZEM' windowfocus --sync && break; sleep 1; "
        "done; sleep 1; "
        "xdotool type --delay 30 'echo typed Zq'; xdotool key Return; sleep 1; "
        "xdotool type --delay 30 quit; xdotool key Return; "
        "sleep 5; kill $pid 2>/dev/null; wait $pid";
    GuestRunOptions o;
    o.program = xvfb;
    o.args = {"-a", "-s", "-screen 0 1024x768x24", "sh", "-c", script};
    o.environment = {{"TMPDIR", dir.file("tmp")}};
    o.timeLimit = std::chrono::milliseconds(60000);
    const GuestRun r = runGuest(o);
    ASSERT_TRUE(r.exited) << r.describe();
    EXPECT_TRUE(r.linesInOrder({"> echo typed Zq", "typed Zq", "> quit", "bye"})) << r.describe();
    // The output is the fourth console row: banner, hint, the typed command, its output.
    unsigned width = 0, height = 0;
    const std::vector<uint32_t> pixels = readPng(snap, width, height);
    ASSERT_EQ(width, 640u);
    const auto glyphs = fontArt();
    ASSERT_EQ(glyphs.size(), 95u);
    const std::string text = "typed Zq";
    int wrong = 0;
    for (size_t i = 0; i < text.size(); ++i)
        for (int y = 0; y < 9; ++y)
            for (int x = 1; x <= 5; ++x) {
                bool lit = glyphs[size_t(text[i] - 32)][size_t(y)][size_t(x - 1)] == '#';
                uint32_t got = pixels[size_t(30 + y) * width + i * 8 + size_t(x)];
                wrong += got != (lit ? 0xF8FCF8u : 0u);
            }
    EXPECT_EQ(wrong, 0);
}

struct DepthCase {
    int colourDepth;
    uint32_t white;           // as the snapshot shows our white
    const char* modeCommand;  // switches to the QL 8-colour mode when set
    const char* modeLine;
    int pixelWidth;  // host pixels per guest pixel
};

class GuestOsDepth : public GuestOs, public ::testing::WithParamInterface<DepthCase> {};

// Boots in each colour depth, and the console text on the screen is our font, white on
// black, pixel for pixel.
TEST_P(GuestOsDepth, ConsoleTextIsOurFontPixelForPixel)
{
    const DepthCase& c = GetParam();
    const std::string snap = dir.file("snap.png");
    const std::string text = "Zq@1 g~";
    const GuestRun r =
        run(std::string(c.modeCommand) + "cls;echo " + text + ";mode;quit",
            "[Screen]\nColourDepth=" + std::to_string(c.colourDepth) + "\nResolutionX=640\nResolutionY=480\n",
            {"-SNAP", snap});
    ASSERT_TRUE(r.hasLine(c.modeLine)) << r.describe();
    unsigned width = 0, height = 0;
    const std::vector<uint32_t> pixels = readPng(snap, width, height);
    ASSERT_EQ(width, 640u);
    ASSERT_EQ(height, 480u);
    const auto glyphs = fontArt();
    ASSERT_EQ(glyphs.size(), 95u);
    // Row 0 holds the echoed command, row 1 its output.
    int wrong = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto& g = glyphs[size_t(text[i] - 32)];
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 8; ++x) {
                bool lit = y < 9 && x >= 1 && x <= 5 && g[size_t(y)][size_t(x - 1)] == '#';
                for (int k = 0; k < c.pixelWidth; ++k) {
                    size_t px = (i * 8 + size_t(x)) * size_t(c.pixelWidth) + size_t(k);
                    uint32_t got = pixels[size_t(10 + y) * width + px];
                    if (got != (lit ? c.white : 0u) && ++wrong <= 5)
                        ADD_FAILURE() << "char " << text[i] << " at " << x << "," << y << ": " << std::hex << got;
                }
            }
    }
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, GuestOsDepth,
                         ::testing::Values(DepthCase{0, 0xFFFFFF, "", "640x480 QL 4-colour", 1},
                                           DepthCase{0, 0xFFFFFF, "mode 8;", "640x480 QL 8-colour", 2},
                                           DepthCase{2, 0xFFFFFF, "", "640x480 8-bit", 1},
                                           DepthCase{3, 0xF8FCF8, "", "640x480 16-bit", 1}),
                         [](const auto& info) {
                             return std::string(info.param.modeCommand[0] ? "Ql8" : "Depth") +
                                    std::to_string(info.param.colourDepth);
                         });

}  // namespace
