// bench/remote_bench.cpp - an octree file streamed into the viewer from a path or a URL: time to
// the first picture and to full detail, then after a zoom onto a patch of about 1 % of the view,
// with the bytes fetched for each.
//
//   remote-bench [--connections N] PATH|URL
//
// Makes the calls viewer/main.cpp makes (the file streamed whatever its size, --memory 2G), waits
// for the first frame presented (the nodes held by then: the root), then for the picture at
// rest, then zooms 22 notches (each about 10 % closer) at the window's centre and waits for the
// picture at rest again. Prints one line of key=value figures: seconds from the start to the
// first picture and to full detail, the seconds from the zoom to its full detail, and the bytes
// received over HTTP up to each (0 for a path). --connections sets the requests on the wire at
// once (8), and with them the fetching workers: 1 fetches the nodes one after another.
#include "net/http_client.h"
#include "net/url.h"
#include "viewer/camera.h"
#include "viewer/frame.h"
#include "viewer/level_of_detail.h"
#include "viewer/remote_cloud.h"
#include "viewer/scene.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point started = Clock::now();
bool remote = false;

double since(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

long long received() {
    return remote ? static_cast<long long>(sharedHttpClient()->stats().bytesReceived) : 0;
}

bool presented = false;

// The picture at rest of the current view: every node it wants, drawn.
void fullDetail() {
    finishLevelOfDetail(viewOf(viewer.viewState, viewer.pointSet));
    drawCompleteFrame();
    glFinish();
}

} // namespace

int main(int argc, char** argv) {
    HttpOptions http;
    if (argc == 4 && std::string(argv[1]) == "--connections") {
        http.maxConnections = std::atoi(argv[2]);
        argv += 2;
        argc -= 2;
    }
    if (argc != 2 || http.maxConnections < 1) {
        std::fprintf(stderr, "usage: remote-bench [--connections N] PATH|URL\n");
        return 1;
    }
    setSharedHttpOptions(http);
    const uint64_t memory = uint64_t(2) << 30;
    viewer.lodSettings.streamPointsAbove = 0;
    remote = isUrl(argv[1]);
    if (remote)
        openRemoteCloud(argv[1], memory);
    else if (!streamOctreeFile(argv[1], memory))
        return 1;
    if (!viewer.copcLod) {
        std::fprintf(stderr, "remote-bench: %s is not an octree file\n", argv[1]);
        return 1;
    }
    int glutArgc = 1;
    char* glutArgv[] = {argv[0], nullptr};
    glutInit(&glutArgc, glutArgv);
    const int window = openGraphicsWindow();
    viewer.frameScheduler.presented = [](const FrameRecord&) { presented = true; };
    glutSetWindow(window);
    warmUpGraphicsWindow();
    viewer.pointSet.finishLoad();
    while (!presented)
        glutMainLoopEvent();
    const double first = since(started);
    const long long firstBytes = received();

    fullDetail();
    const double full = since(started);
    const long long fullBytes = received();

    const Clock::time_point zoomed = Clock::now();
    zoomAt(viewer.viewState, viewer.pointSet, 200, 200, 22);
    fullDetail();
    const double zoom = since(zoomed);
    const long long zoomBytes = received() - fullBytes;

    std::printf("first_s=%.3f first_bytes=%lld full_s=%.3f full_bytes=%lld zoom_full_s=%.3f "
                "zoom_bytes=%lld\n",
                first, firstBytes, full, fullBytes, zoom, zoomBytes);
    std::fflush(stdout);
    std::_Exit(0);
}
