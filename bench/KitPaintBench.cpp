// Paint time of each kit control at device pixel ratio 1 and 2 (one paint of the widget into an
// image of its size, as a frame of an animation costs), and the cover cache's hit path.
// Goal: no control above 0.5 ms per paint at ratio 2.
#include "ui/kit/Artwork.h"
#include "ui/kit/BlurFade.h"
#include "ui/kit/CoverImage.h"
#include "ui/kit/EditableName.h"
#include "ui/kit/Ink.h"
#include "ui/kit/KeyCap.h"
#include "ui/kit/SoundToggle.h"
#include "ui/kit/StatusDot.h"
#include "ui/kit/StepButton.h"
#include "ui/kit/TVArtwork.h"
#include "ui/kit/TextStyle.h"
#include "ui/kit/Tile.h"
#include "ui/kit/Tooltip.h"
#include "ui/kit/VisualEffectSurface.h"
#include "ui/kit/VolumeSlider.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <functional>
#include <memory>

namespace {

QWidget& root() {
    static QWidget* widget = [] {
        auto* w = new QWidget;
        w->setPalette(Ink::palette(Scheme::Dark));
        w->resize(400, 200);
        return w;
    }();
    return *widget;
}

void paintLoop(benchmark::State& state, QWidget* widget) {
    const double ratio = static_cast<double>(state.range(0));
    widget->setParent(&root());
    if (widget->size().isEmpty() || widget->size() == QSize(100, 30) || widget->size() == QSize(640, 480))
        widget->resize(widget->sizeHint());
    widget->show();
    QImage image(widget->size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    widget->render(&image); // warm caches once, as the second frame of an animation finds them
    for (auto _ : state) {
        image.fill(Qt::transparent);
        widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        benchmark::DoNotOptimize(image.constBits());
    }
    delete widget;
}

void BM_Tile(benchmark::State& state) {
    auto* tile = new Tile;
    tile->resize(344, 124);
    paintLoop(state, tile);
}

void BM_VolumeSlider(benchmark::State& state) {
    auto* slider = new VolumeSlider(34);
    slider->resize(260, 34);
    slider->setValue(28);
    paintLoop(state, slider);
}

void BM_StepButton(benchmark::State& state) {
    paintLoop(state, new StepButton(QStringLiteral("plus")));
}

void BM_SoundToggle(benchmark::State& state) {
    auto* toggle = new SoundToggle(QStringLiteral("moon.fill"), QStringLiteral("Nachtmodus"));
    toggle->setOn(true);
    paintLoop(state, toggle);
}

void BM_EditableName(benchmark::State& state) {
    auto* name = new EditableName;
    name->setFont(Type::font(TextStyle::Body, QFont::DemiBold));
    name->setName(QStringLiteral("Wohnzimmer + 1"));
    paintLoop(state, name);
}

void BM_KeyCap(benchmark::State& state) {
    auto* cap = new KeyCap;
    cap->setSymbols({QStringLiteral("command"), QStringLiteral("arrow.left.arrow.right")});
    paintLoop(state, cap);
}

void BM_StatusDot(benchmark::State& state) {
    paintLoop(state, new StatusDot(StatusLevel::Warning, 10));
}

void BM_Tooltip(benchmark::State& state) {
    auto* tip = new Tooltip(QStringLiteral("Sleep-Timer"));
    tip->appear(false);
    paintLoop(state, tip);
}

void BM_Artwork(benchmark::State& state) {
    const QUrl url(QStringLiteral("http://bench.invalid/cover.png"));
    CoverImage::store(url, Artwork::demoPicture().scaled(640, 640));
    auto* art = new Artwork(38);
    art->setUrl(url);
    paintLoop(state, art);
}

void BM_TVArtwork(benchmark::State& state) {
    paintLoop(state, new TVArtwork(38));
}

void BM_Surface(benchmark::State& state) {
    auto* surface = new VisualEffectSurface(28);
    surface->resize(360, 300);
    paintLoop(state, surface);
}

// One frame of a blur-and-fade transition of a subtitle line halfway through.
void BM_BlurFadeLine(benchmark::State& state) {
    auto* line = new QLabel(QStringLiteral("Late Summer – The Quiet Rooms"));
    line->setFont(Type::font(TextStyle::Caption));
    line->resize(200, 14);
    auto* effect = new BlurFade(6);
    effect->setProgress(0.5);
    line->setGraphicsEffect(effect);
    paintLoop(state, line);
}

// A picture shown again (a group switch, the volume display): the cache lookup and the show.
void BM_CoverCacheHit(benchmark::State& state) {
    const QUrl a(QStringLiteral("http://bench.invalid/a.png")),
        b(QStringLiteral("http://bench.invalid/b.png"));
    CoverImage::store(a, Artwork::demoPicture());
    CoverImage::store(b, Artwork::demoPicture().mirrored());
    CoverImage cover;
    bool flip = false;
    for (auto _ : state) {
        cover.setUrl(flip ? a : b);
        flip = !flip;
        benchmark::DoNotOptimize(cover.shown().constBits());
    }
}

} // namespace

BENCHMARK(BM_Tile)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_VolumeSlider)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StepButton)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SoundToggle)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditableName)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeyCap)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StatusDot)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Tooltip)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Artwork)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TVArtwork)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Surface)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlurFadeLine)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CoverCacheHit)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
