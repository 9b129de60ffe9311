// How long a user waits for the window: each programme is timed from its exec to its first
// frame on a private X display of its own, the window mapped and every one of its pixels
// painted. The editor and a bare Qt window of the same size take turns, so that both meet the
// same load of the machine, and the table gives each one's times and the ratio of the medians.
// Without programmes named, the bare window that loads the editor's fonts takes its turn too:
// the part of the editor's wait that comes with its texts alone.
//
//   varnotel_startup_bench [--runs N] [--frames DIR] [--verbose] [EDITOR BARE [OTHER...]]
//
// Other programmes (another build of the editor, say) take their turns beside the two, each
// named by its file name. --frames saves the first frame of every run in DIR (editor-K.png,
// bare-K.png, fonts-K.png, NAME-K.png), as the X server held it the moment it was complete.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto StartTimeout = std::chrono::seconds(60);

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A failure unwinds to main, so that the X server, the programme being timed and the temporary
// folder all end with the benchmark.
struct TFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& message) {
    throw TFailure(message);
}

// The environment of the timed programmes: ours, on the private display, through Qt's X11
// plugin whatever the desktop around us runs.
std::vector<std::string> ChildEnvironment(const std::string& display) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        if (name != "DISPLAY" && name != "WAYLAND_DISPLAY" && name != "QT_QPA_PLATFORM")
            env.push_back(entry);
    }
    env.push_back("DISPLAY=" + display);
    env.push_back("QT_QPA_PLATFORM=xcb");
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Starts a programme in `dir` with its output in `log`; the caller owns the process.
pid_t Spawn(std::vector<std::string> argv, std::vector<std::string> env, const std::string& dir,
            const std::string& log, std::optional<int> displayFd = std::nullopt) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (displayFd)
        posix_spawn_file_actions_adddup2(&actions, *displayFd, 3);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    pid_t pid = 0;
    const std::vector<char*> args = Pointers(argv);
    const std::vector<char*> vars = Pointers(env);
    const int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), vars.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        Fail("cannot start " + argv[0] + ": " + std::strerror(error));
    return pid;
}

void Stop(pid_t pid);

// A timed programme, ended when it goes out of scope.
struct TChild {
    pid_t Pid;
    ~TChild() { Stop(Pid); }
};

void Stop(pid_t pid) {
    ::kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return;
        ::usleep(20000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
}

std::string Contents(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// A private Xvfb: it picks a free display itself, so that no other X server or run is in the
// way, and it ends with the benchmark.
class TXServer {
public:
    explicit TXServer(const QTemporaryDir& work) : FLog(work.filePath("xvfb.log").toStdString()) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            Fail("no pipe for the display number");
        // -noreset: the server would reset, and refuse connections for a moment, whenever its
        // last client left.
        FPid = Spawn({"/usr/bin/Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24",
                      "-nolisten", "tcp", "-noreset"},
                     ChildEnvironment(""), work.path().toStdString(), FLog, fds[1]);
        ::close(fds[1]);
        std::string number;
        const auto deadline = Clock::now() + StartTimeout;
        char c = 0;
        while (Clock::now() < deadline) {
            pollfd p{fds[0], POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0)
                continue;
            if (::read(fds[0], &c, 1) != 1 || c == '\n')
                break;
            number += c;
        }
        ::close(fds[0]);
        if (number.empty())
            Fail("Xvfb took no display: " + Contents(FLog));
        FDisplay = ":" + number;
    }
    ~TXServer() { Stop(FPid); }
    const std::string& Display() const { return FDisplay; }

private:
    std::string FLog;
    pid_t FPid = 0;
    std::string FDisplay;
};

struct TTiming {
    double Mapped = 0;
    double FirstFrame = 0;
};

// Watches the display's top-level windows: when each is mapped, and when, once damage has been
// reported in it, it shows nothing of the screen behind it any more (PaintedAll).
class TFrameWatch {
public:
    explicit TFrameWatch(const std::string& display) {
        int screenNumber = 0;
        FConnection = xcb_connect(display.c_str(), &screenNumber);
        if (xcb_connection_has_error(FConnection))
            Fail("cannot connect to " + display);
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(FConnection));
        for (int i = 0; i < screenNumber; ++i)
            xcb_screen_next(&it);
        FRoot = it.data->root;
        const xcb_query_extension_reply_t* damage =
            xcb_get_extension_data(FConnection, &xcb_damage_id);
        if (!damage || !damage->present)
            Fail("the X server has no DAMAGE extension");
        FDamageEvent = damage->first_event + XCB_DAMAGE_NOTIFY;
        free(xcb_damage_query_version_reply(FConnection,
                                            xcb_damage_query_version(FConnection, 1, 1), nullptr));
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(FConnection, FRoot, XCB_CW_EVENT_MASK, &mask);
        // A window that has not painted itself shows the screen behind it; a colour that the
        // programmes never paint makes that visible.
        xcb_change_window_attributes(FConnection, FRoot, XCB_CW_BACK_PIXEL, &Unpainted);
        xcb_clear_area(FConnection, 0, FRoot, 0, 0, 0, 0);
        xcb_flush(FConnection);
    }
    ~TFrameWatch() { xcb_disconnect(FConnection); }

    // Times the programme started at `start` (process `pid`); nullopt when it ended or did not
    // show a window in time. The picture of the first frame goes to `frame` if asked for.
    std::optional<TTiming> Time(Clock::time_point start, pid_t pid, QImage* frame) {
        FTarget = 0;
        FDamaged = false;
        std::optional<TTiming> timing;
        TTiming t;
        while (!timing) {
            if (Clock::now() - start > StartTimeout)
                return std::nullopt;
            // Looked at, not collected: the child's owner ends and collects it.
            siginfo_t ended{};
            if (::waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                ended.si_pid == pid)
                return std::nullopt;
            pollfd p{xcb_get_file_descriptor(FConnection), POLLIN, 0};
            ::poll(&p, 1, 100);
            while (xcb_generic_event_t* event = xcb_poll_for_event(FConnection)) {
                const std::unique_ptr<xcb_generic_event_t, decltype(&free)> owned(event, free);
                const auto now = Clock::now();
                if (Handle(*event) == TStep::Mapped) {
                    t.Mapped = Milliseconds(now - start);
                } else if (FDamaged && !timing && PaintedAll(FTarget)) {
                    t.FirstFrame = Milliseconds(now - start);
                    timing = t;
                    if (frame)
                        *frame = Picture(FTarget);
                }
            }
            if (xcb_connection_has_error(FConnection))
                Fail("the connection to the X server broke");
        }
        return timing;
    }

    // Lets the ended programme's windows go before the next run starts.
    void Drain() {
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while (!FSizes.empty() && Clock::now() < deadline) {
            pollfd p{xcb_get_file_descriptor(FConnection), POLLIN, 0};
            ::poll(&p, 1, 50);
            while (xcb_generic_event_t* event = xcb_poll_for_event(FConnection)) {
                Handle(*event);
                free(event);
            }
        }
        FSizes.clear();
    }

private:
    enum class TStep { Other, Mapped };

    TStep Handle(const xcb_generic_event_t& event) {
        const uint8_t type = event.response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            const auto& e = reinterpret_cast<const xcb_create_notify_event_t&>(event);
            if (e.parent != FRoot)
                return TStep::Other;
            FSizes[e.window] = QSize(e.width, e.height);
            // Every rectangle painted into the window, as it is painted.
            xcb_damage_create(FConnection, xcb_generate_id(FConnection), e.window,
                              XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
            xcb_flush(FConnection);
        } else if (type == XCB_CONFIGURE_NOTIFY) {
            const auto& e = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
            if (FSizes.count(e.window))
                FSizes[e.window] = QSize(e.width, e.height);
        } else if (type == XCB_MAP_NOTIFY) {
            const auto& e = reinterpret_cast<const xcb_map_notify_event_t&>(event);
            if (FTarget == 0 && e.event == FRoot && !e.override_redirect &&
                FSizes.count(e.window)) {
                FTarget = e.window;
                return TStep::Mapped;
            }
        } else if (type == XCB_DESTROY_NOTIFY) {
            FSizes.erase(reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window);
        } else if (type == FDamageEvent) {
            const auto& e = reinterpret_cast<const xcb_damage_notify_event_t&>(event);
            if (e.drawable == FTarget && FTarget != 0)
                FDamaged = true;
        }
        return TStep::Other;
    }

    // The X server also reports a newly mapped window as damaged, before the programme has
    // painted anything: the window counts as painted once a row and a column across its middle
    // show nothing of the screen behind it.
    bool PaintedAll(xcb_window_t window) {
        const QSize size = FSizes[window];
        return !Shows(window, QRect(0, size.height() / 2, size.width(), 1), Unpainted) &&
               !Shows(window, QRect(size.width() / 2, 0, 1, size.height()), Unpainted);
    }

    using TImageReply = std::unique_ptr<xcb_get_image_reply_t, decltype(&free)>;

    // The pixels of an area of the window as the X server holds them; null when it refuses.
    TImageReply Fetch(xcb_window_t window, const QRect& area) {
        return {
            xcb_get_image_reply(FConnection,
                                xcb_get_image(FConnection, XCB_IMAGE_FORMAT_Z_PIXMAP, window,
                                              area.x(), area.y(), area.width(), area.height(), ~0u),
                                nullptr),
            free};
    }

    bool Shows(xcb_window_t window, const QRect& area, uint32_t colour) {
        const TImageReply reply = Fetch(window, area);
        if (!reply)
            return true;
        const int length = xcb_get_image_data_length(reply.get()) / 4;
        const auto* pixels = reinterpret_cast<const uint32_t*>(xcb_get_image_data(reply.get()));
        return std::any_of(pixels, pixels + length,
                           [&](uint32_t p) { return (p & 0xffffff) == colour; });
    }

    QImage Picture(xcb_window_t window) {
        const QSize size = FSizes[window];
        const TImageReply reply = Fetch(window, QRect(QPoint(), size));
        if (!reply || reply->depth != 24 ||
            xcb_get_image_data_length(reply.get()) != size.width() * size.height() * 4)
            return {};
        return QImage(xcb_get_image_data(reply.get()), size.width(), size.height(),
                      QImage::Format_RGB32)
            .copy();
    }

    static constexpr uint32_t Unpainted = 0xff00ff;
    xcb_connection_t* FConnection = nullptr;
    xcb_window_t FRoot = 0;
    uint8_t FDamageEvent = 0;
    std::map<xcb_window_t, QSize> FSizes;
    xcb_window_t FTarget = 0;
    // Whether the window has reported any paint since its map.
    bool FDamaged = false;
};

struct TProgramme {
    std::string Label;
    std::string FileTag;
    std::string Path;
    std::vector<TTiming> Runs;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string LoadAverage() {
    const std::string load = Contents("/proc/loadavg");
    return load.substr(0, load.find(' ', load.find(' ', load.find(' ') + 1) + 1));
}

// One time of every run of the programme: when its window was mapped, or its first frame.
std::vector<double> Times(const TProgramme& p, double TTiming::*time) {
    std::vector<double> times;
    for (const TTiming& t : p.Runs)
        times.push_back(t.*time);
    return times;
}

void PrintRow(const TProgramme& p) {
    const std::vector<double> frame = Times(p, &TTiming::FirstFrame);
    std::printf("| %s | %.1f ms | %.1f ms | %.1f ms | %.1f ms |\n", p.Label.c_str(),
                Median(Times(p, &TTiming::Mapped)), *std::min_element(frame.begin(), frame.end()),
                Median(frame), *std::max_element(frame.begin(), frame.end()));
}

double FrameMedian(const TProgramme& p) {
    return Median(Times(p, &TTiming::FirstFrame));
}

[[noreturn]] void Usage() {
    std::fprintf(stderr, "usage: varnotel_startup_bench [--runs N] [--frames DIR] [--verbose] "
                         "[EDITOR BARE [OTHER...]]\n");
    std::exit(2);
}

int Run(int argc, char** argv) {
    int runs = 15;
    std::string framesDir;
    bool verbose = false;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc)
            runs = std::atoi(argv[++i]);
        else if (arg == "--frames" && i + 1 < argc)
            framesDir = argv[++i];
        else if (arg == "--verbose")
            verbose = true;
        else if (arg.starts_with("-"))
            Usage();
        else
            // The programmes start in a folder of their own.
            paths.push_back(
                QFileInfo(QString::fromStdString(arg)).absoluteFilePath().toStdString());
    }
    if (runs < 1 || paths.size() == 1)
        Usage();
    const bool builtIn = paths.empty();
    if (builtIn)
        paths = {VARNOTEL_EDITOR, VARNOTEL_BARE_WINDOW, VARNOTEL_FONTS_WINDOW};
    if (!framesDir.empty() && !QDir().mkpath(QString::fromStdString(framesDir)))
        Fail("cannot make " + framesDir);

    std::signal(SIGPIPE, SIG_IGN);
    QTemporaryDir work;
    if (!work.isValid())
        Fail("no temporary folder");
    const TXServer server(work);
    TFrameWatch watch(server.Display());
    std::vector<TProgramme> programmes{{"editor", "editor", paths[0], {}},
                                       {"bare window", "bare", paths[1], {}}};
    if (builtIn)
        programmes.push_back({"bare window with the editor's fonts", "fonts", paths[2], {}});
    for (std::size_t i = programmes.size(); i < paths.size(); ++i) {
        const std::string name =
            QFileInfo(QString::fromStdString(paths[i])).fileName().toStdString();
        programmes.push_back({name, name, paths[i], {}});
    }
    const std::string startLoad = LoadAverage();

    // One run of each first, not counted: it brings the programmes and their libraries into
    // memory, as any earlier start of them would have.
    for (int run = -1; run < runs; ++run) {
        for (TProgramme& p : programmes) {
            const std::string log = work.filePath("programme.log").toStdString();
            QImage frame;
            std::optional<TTiming> t;
            {
                const Clock::time_point start = Clock::now();
                const TChild child{Spawn({p.Path}, ChildEnvironment(server.Display()),
                                         work.path().toStdString(), log)};
                t = watch.Time(start, child.Pid, framesDir.empty() ? nullptr : &frame);
            }
            watch.Drain();
            if (!t)
                Fail(p.Path + " showed no painted window: " + Contents(log));
            if (run < 0)
                continue;
            p.Runs.push_back(*t);
            if (verbose)
                std::printf("%s run %d: mapped %.1f ms, first frame %.1f ms\n", p.Label.c_str(),
                            run + 1, t->Mapped, t->FirstFrame);
            if (!framesDir.empty()) {
                const QString name = QString("%1/%2-%3.png")
                                         .arg(QString::fromStdString(framesDir))
                                         .arg(QString::fromStdString(p.FileTag))
                                         .arg(run + 1);
                if (frame.isNull() || !frame.save(name))
                    Fail("cannot save the first frame as " + name.toStdString());
            }
        }
    }

    std::printf("%d runs each, alternating; load average %s before, %s after\n\n", runs,
                startLoad.c_str(), LoadAverage().c_str());
    std::printf("| exec to | window mapped (median) | first frame: fastest | median | slowest |\n");
    std::printf("|---|---|---|---|---|\n");
    for (const TProgramme& p : programmes)
        PrintRow(p);
    std::printf("\n");
    for (const TProgramme& p : programmes)
        if (&p != &programmes[1])
            std::printf("first frame, %s / bare window (medians): %.2f x\n", p.Label.c_str(),
                        FrameMedian(p) / FrameMedian(programmes[1]));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const TFailure& failure) {
        std::fprintf(stderr, "varnotel_startup_bench: %s\n", failure.what());
        return 1;
    }
}
