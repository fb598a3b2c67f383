// The viewer's drawing times: from DisplayFromFile to the first Display for a 6000 x 4000
// baseline JPEG at fit in a 1920 x 1080 control (next to vipsthumbnail making the same
// fitted image, when it is installed), one scroll step at 100 %, and the normal and
// high-quality draws at fit. Run by hand: build/bench/viewer/bench_viewer.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "platform/activex/headless_host.h"
#include "viewer/ImageBox.h"
#include "viewer/class_ids.h"
#include "viewer/entry_points.h"

namespace {

namespace fs = std::filesystem;

const std::string& photo() {
    static const std::string path = [] {
        fs::path dir = fs::temp_directory_path() / "tavimo_viewer_bench";
        fs::create_directories(dir);
        std::string p = (dir / "photo-6000x4000.jpg").string();
        if (!fs::exists(p)) {
            // A smooth picture with detail, like a photograph, in baseline JPEG.
            std::string cmd = "convert -size 6000x4000 gradient:'#305080'-'#e0c090' "
                              "-attenuate 0.3 +noise Gaussian -interlace none -quality 90 '" +
                              p + "'";
            if (std::system(cmd.c_str()) != 0)
                return std::string();
        }
        return p;
    }();
    return path;
}

struct Viewer {
    ax::HeadlessHost host;
    ax::ComPtr<ax::ClassFactory> factory;
    ax::HostedControl* control = nullptr;
    tavimo::ImageBox* box = nullptr;

    Viewer(int width, int height) {
        void* out = nullptr;
        DllGetClassObject(&tavimo::CLSID_ImageBox, &ax::IID_IClassFactory, &out);
        factory = ax::ComPtr<ax::ClassFactory>::adopt(static_cast<ax::ClassFactory*>(out));
        control = host.create(*factory, width, height);
        box = static_cast<tavimo::ImageBox*>(control->control);
        box->put_SilentMode(true);
    }
};

void BM_FirstDisplayAtFit(benchmark::State& state) {
    if (photo().empty())
        return state.SkipWithError("ImageMagick's convert is needed for the fixture");
    Viewer v(1920, 1080);
    v.box->SetZoomFitControl();
    for (auto _ : state) {
        // Display comes from inside the call, so its return is the first draw.
        if (v.box->DisplayFromFile(photo()) != tavimo::QuennetStatus::OK)
            return state.SkipWithError("the photo did not display");
        v.control->events->records.clear();
    }
}
BENCHMARK(BM_FirstDisplayAtFit)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_VipsThumbnailSameFit(benchmark::State& state) {
    if (photo().empty())
        return state.SkipWithError("ImageMagick's convert is needed for the fixture");
    if (std::system("command -v vipsthumbnail >/dev/null 2>&1") != 0)
        return state.SkipWithError("vipsthumbnail (libvips-tools) is not installed");
    std::string out = (fs::path(photo()).parent_path() / "thumb.png").string();
    std::string cmd = "vipsthumbnail --size 1920x1080 '" + photo() + "' -o '" + out + "'";
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0)
            return state.SkipWithError("vipsthumbnail failed");
    }
}
BENCHMARK(BM_VipsThumbnailSameFit)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScrollStepAt100(benchmark::State& state) {
    if (photo().empty())
        return state.SkipWithError("ImageMagick's convert is needed for the fixture");
    Viewer v(1920, 1080);
    if (v.box->DisplayFromFile(photo()) != tavimo::QuennetStatus::OK)
        return state.SkipWithError("the photo did not display");
    int step = 1;
    for (auto _ : state) {
        int32_t pos = v.box->GetHScrollBarPosition();
        if (pos + step > v.box->GetHScrollBarMaxPosition() || pos + step < 0)
            step = -step;
        v.box->SetHScrollBarPosition(pos + step);
        v.control->events->records.clear();
    }
}
BENCHMARK(BM_ScrollStepAt100)->Unit(benchmark::kMillisecond);

// The normal draw at fit (nearest neighbour under automatic quality) and the quality pass
// that follows a second later.
void BM_DrawAtFit(benchmark::State& state) {
    if (photo().empty())
        return state.SkipWithError("ImageMagick's convert is needed for the fixture");
    const bool qualityPass = state.range(0) != 0;
    Viewer v(1920, 1080);
    v.box->put_ViewerQualityAuto(true);
    v.box->SetZoomFitControl();
    if (v.box->DisplayFromFile(photo()) != tavimo::QuennetStatus::OK)
        return state.SkipWithError("the photo did not display");
    for (auto _ : state) {
        if (qualityPass) {
            state.PauseTiming();
            v.box->SetHScrollBarPosition(0); // no change: keeps the view, draws nothing
            v.box->Refresh();
            v.box->put_ZOOM(v.box->get_ZOOM() * (1 + 1e-9)); // a normal draw arms the timer
            state.ResumeTiming();
            v.host.advance(1000);
        } else {
            v.box->put_ZOOM(v.box->get_ZOOM() * (1 + 1e-9));
        }
        v.control->events->records.clear();
    }
}
BENCHMARK(BM_DrawAtFit)->Arg(0)->Arg(1)->ArgName("quality")->Unit(benchmark::kMillisecond);

} // namespace
