// tests/support/gl_test_support.cpp - screen slots, the first GLUT connection, pumping GLUT's
// events, the driver kept loaded and GLUT closed at exit.
#include "tests/support/gl_test_support.h"

#include "tests/support/polling.h"

#include <GL/freeglut.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

ScreenSlot claimScreenSlot(const char* family, const std::vector<ScreenSlot>& slots) {
    const int count = static_cast<int>(slots.size());
    const char* display = std::getenv("DISPLAY");
    std::string name = display != nullptr ? display : "none";
    for (char& c : name)
        c = (c == ':' || c == '/' || c == '.') ? '_' : c;
    std::vector<int> files(slots.size(), -1);
    for (int slot = 0; slot < count; ++slot) {
        const std::string path =
            std::string("/tmp/pointillist-") + family + "-" + name + "-" + std::to_string(slot);
        files[slot] = open(path.c_str(), O_CREAT | O_RDWR, 0666);
    }
    int chosen = -1;
    for (int slot = 0; slot < count && chosen < 0; ++slot)
        if (files[slot] >= 0 && flock(files[slot], LOCK_EX | LOCK_NB) == 0)
            chosen = slot;
    if (chosen < 0) {
        // All taken: wait for one, so that windows never overlap.
        chosen = static_cast<int>(getpid() % count);
        flock(files[chosen], LOCK_EX);
    }
    for (int slot = 0; slot < count; ++slot)
        if (slot != chosen && files[slot] >= 0)
            close(files[slot]);
    return slots[chosen];
}

bool initGlutHoldingServer(const char* programName) {
    // The server refuses connections while it resets; keep asking for up to five seconds.
    Display* held = nullptr;
    if (!pollUntil([&] { return (held = XOpenDisplay(nullptr)) != nullptr; },
                   std::chrono::seconds(5)))
        return false;
    // GLUT may keep pointers into argv, so both outlive the call.
    static std::string name;
    static char* argv[2];
    name = programName;
    argv[0] = name.data();
    int argc = 1;
    glutInit(&argc, argv);
    keepGlDriverLoaded();
    XCloseDisplay(held);
    return true;
}

void keepGlDriverLoaded() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0')
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    // A short rest between passes leaves the cores to the X server and the drawing threads.
    return pollUntil(done, limit, [] {
        glutMainLoopEvent();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
}

void GlutShutdown::TearDown() {
    if (glutGet(GLUT_INIT_STATE) != 0)
        glutExit();
}
