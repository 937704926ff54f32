#include "viewer/colourprofile.h"

#include <lcms2.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace vistrel {
namespace {

// Rows converted between looks at the cancel flag.
constexpr int bandRows = 64;
// Transforms kept: the profiles of the last few cameras and editors met.
constexpr std::size_t transformsKept = 8;

// One Little CMS context for the program, silent: a refused profile is an expected event, told
// by the result, never printed. Never destroyed, as detached decodes may still use it at exit.
cmsContext context()
{
    static const cmsContext shared = [] {
        cmsContext c = cmsCreateContext(nullptr, nullptr);
        cmsSetLogErrorHandlerTHR(c, [](cmsContext, cmsUInt32Number, const char *) {});
        return c;
    }();
    return shared;
}

#if Q_BYTE_ORDER == Q_BIG_ENDIAN
constexpr cmsUInt32Number rgbLayout = TYPE_ARGB_8;
constexpr cmsUInt32Number greyLayout =
    COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3) | SWAPFIRST_SH(1);
#else
// QRgb in memory: blue, green, red, alpha.
constexpr cmsUInt32Number rgbLayout = TYPE_BGRA_8;
// The grey read from the first byte of each pixel, the other three skipped.
constexpr cmsUInt32Number greyLayout =
    COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3);
#endif

cmsUInt32Number inputLayout(StoredPixels pixels)
{
    switch (pixels) {
    case StoredPixels::Grey:
        return greyLayout;
    case StoredPixels::InvertedCmyk:
        return TYPE_CMYK_8_REV;
    case StoredPixels::Rgb:
        break;
    }
    return rgbLayout;
}

cmsColorSpaceSignature spaceOf(StoredPixels pixels)
{
    switch (pixels) {
    case StoredPixels::Grey:
        return cmsSigGrayData;
    case StoredPixels::InvertedCmyk:
        return cmsSigCmykData;
    case StoredPixels::Rgb:
        break;
    }
    return cmsSigRgbData;
}

struct Profile
{
    cmsHPROFILE handle = nullptr;
    explicit Profile(cmsHPROFILE h) : handle(h) {}
    ~Profile()
    {
        if (handle)
            cmsCloseProfile(handle);
    }
    Profile(const Profile &) = delete;
    Profile &operator=(const Profile &) = delete;
};

// A profile read from bytes, or none when Little CMS refuses it or it is of no use to a
// picture: only device and colour-space profiles describe stored pixels.
cmsHPROFILE openProfile(const QByteArray &icc)
{
    if (icc.size() < 128 || icc.size() > maxProfileBytes)
        return nullptr;
    cmsHPROFILE p =
        cmsOpenProfileFromMemTHR(context(), icc.constData(), cmsUInt32Number(icc.size()));
    if (!p)
        return nullptr;
    const cmsProfileClassSignature kind = cmsGetDeviceClass(p);
    if (kind != cmsSigInputClass && kind != cmsSigDisplayClass && kind != cmsSigOutputClass &&
        kind != cmsSigColorSpaceClass) {
        cmsCloseProfile(p);
        return nullptr;
    }
    return p;
}

cmsHPROFILE openSrgbOr(const QByteArray &icc) // empty bytes: sRGB
{
    return icc.isEmpty() ? cmsCreate_sRGBProfileTHR(context()) : openProfile(icc);
}

struct Transform
{
    cmsHTRANSFORM handle = nullptr;
    ~Transform()
    {
        if (handle)
            cmsDeleteTransform(handle);
    }
};

// Without the one-pixel cache a transform holds no state that changes while it runs, so one
// transform serves several threads at once.
std::shared_ptr<const Transform> build(const QByteArray &source, StoredPixels pixels,
                                       const QByteArray &target)
{
    const Profile from(openSrgbOr(source));
    const Profile to(openSrgbOr(target));
    if (!from.handle || !to.handle || cmsGetColorSpace(from.handle) != spaceOf(pixels) ||
        cmsGetColorSpace(to.handle) != cmsSigRgbData)
        return nullptr;
    auto t = std::make_shared<Transform>();
    t->handle = cmsCreateTransformTHR(context(), from.handle, inputLayout(pixels), to.handle,
                                      rgbLayout, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
    if (!t->handle)
        return nullptr;
    return t;
}

struct Entry
{
    QByteArray source;
    StoredPixels pixels;
    QByteArray target;
    std::shared_ptr<const Transform> transform; // null: the profile is unusable
};

// The display's profile (empty: sRGB) and the recent transforms, the most recent last.
struct Shared
{
    std::mutex mutex;
    QByteArray display;
    std::vector<Entry> entries;
};

Shared &shared()
{
    static Shared *s = new Shared; // never destroyed: detached decodes may run at exit
    return *s;
}

QByteArray targetBytes(ColourTarget target)
{
    if (target == ColourTarget::Srgb)
        return {};
    Shared &s = shared();
    const std::lock_guard<std::mutex> lock(s.mutex);
    return s.display;
}

// The transform for these profiles, built (outside the lock: a large profile takes a while)
// when none of the recent ones fits.
std::shared_ptr<const Transform> transformFor(const QByteArray &source, StoredPixels pixels,
                                              const QByteArray &target)
{
    Shared &s = shared();
    const auto matches = [&](const Entry &e) {
        return e.pixels == pixels && e.source == source && e.target == target;
    };
    {
        const std::lock_guard<std::mutex> lock(s.mutex);
        const auto it = std::find_if(s.entries.begin(), s.entries.end(), matches);
        if (it != s.entries.end()) {
            std::rotate(it, it + 1, s.entries.end());
            return s.entries.back().transform;
        }
    }
    std::shared_ptr<const Transform> made = build(source, pixels, target);
    const std::lock_guard<std::mutex> lock(s.mutex);
    const auto it = std::find_if(s.entries.begin(), s.entries.end(), matches);
    if (it != s.entries.end())
        return it->transform; // another thread built it meanwhile
    if (s.entries.size() >= transformsKept)
        s.entries.erase(s.entries.begin());
    s.entries.push_back({source, pixels, target, made});
    return made;
}

// Whether pixels described by `profile` already have the colours of the target profile `to`
// (empty: sRGB), so that converting them would change nothing.
bool alreadyInTarget(const QByteArray &profile, StoredPixels pixels, const QByteArray &to)
{
    return pixels == StoredPixels::Rgb && !to.isEmpty() && profile == to;
}

// Converts rows [from, to) of the pixels at `bits`, a band at a time; false when cancelled.
bool convertRows(const Transform &transform, StoredPixels pixels, uchar *bits,
                 qsizetype bytesPerLine, int width, int from, int to,
                 const std::atomic<bool> *cancel)
{
    for (int top = from; top < to; top += bandRows) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return false;
        const int end = std::min(top + bandRows, to);
        for (int y = top; y < end; ++y) {
            // The same bytes in and out: every layout here is four bytes a pixel. The alpha
            // (or unused) byte is left as it was, except after CMYK, whose fourth byte was black.
            uchar *line = bits + y * bytesPerLine;
            cmsDoTransform(transform.handle, line, line, cmsUInt32Number(width));
            if (pixels == StoredPixels::InvertedCmyk) {
                auto *out = reinterpret_cast<QRgb *>(line);
                for (int x = 0; x < width; ++x)
                    out[x] |= 0xFF000000u;
            }
        }
    }
    return true;
}

} // namespace

// Shared by the converter and its thread, which may be stopped but is always joined.
struct ConcurrentConversion::Work
{
    QByteArray profile, target;
    StoredPixels pixels = StoredPixels::Rgb;
    uchar *bits = nullptr;
    qsizetype bytesPerLine = 0;
    int width = 0, height = 0;
    const std::atomic<bool> *cancel = nullptr;

    std::mutex mutex;
    std::condition_variable wake;
    int ready = 0;     // rows the decoder has made final
    bool all = false;  // every row is final
    bool stop = false; // the converter is destroyed unfinished
    Conversion outcome = Conversion::Converted;
    int done = 0; // rows converted
    int told = 0; // rows last told to the thread (the decoder's side only)
    std::thread thread;

    // Builds the transform (a new profile's takes a few milliseconds, spent beside the decode
    // too), then converts final rows as they come, a few bands at a time, until all are done.
    void run()
    {
        const std::shared_ptr<const Transform> transform = transformFor(profile, pixels, target);
        std::unique_lock<std::mutex> lock(mutex);
        if (!transform) {
            outcome = Conversion::Unusable;
            return;
        }
        for (;;) {
            wake.wait(lock, [&] { return stop || all || ready >= done + bandRows; });
            if (stop)
                return;
            const int upto = all ? height : ready;
            if (upto > done) {
                const int from = done;
                lock.unlock();
                const bool finished =
                    convertRows(*transform, pixels, bits, bytesPerLine, width, from, upto, cancel);
                lock.lock();
                done = upto;
                if (!finished) {
                    outcome = Conversion::Cancelled;
                    return;
                }
            }
            if (all && done >= height)
                return;
        }
    }
};

ConcurrentConversion::ConcurrentConversion(QImage &image, const QByteArray &profile,
                                           StoredPixels pixels, ColourTarget target,
                                           const std::atomic<bool> *cancel)
    : m_work(std::make_shared<Work>())
{
    Work &w = *m_work;
    w.profile = profile;
    w.target = targetBytes(target);
    w.pixels = pixels;
    if (image.isNull() || image.format() != QImage::Format_RGB32) {
        w.outcome = Conversion::Unusable;
        return;
    }
    if (alreadyInTarget(profile, pixels, w.target))
        return; // already in the display's colours
    w.bits = image.bits();
    w.bytesPerLine = image.bytesPerLine();
    w.width = image.width();
    w.height = image.height();
    w.cancel = cancel;
    try {
        w.thread = std::thread([work = m_work] { work->run(); });
    } catch (const std::system_error &) {
        // No thread to be had: finish() converts everything in one go.
    }
}

ConcurrentConversion::~ConcurrentConversion()
{
    if (!m_work->thread.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(m_work->mutex);
        m_work->stop = true;
    }
    m_work->wake.notify_all();
    m_work->thread.join();
}

void ConcurrentConversion::rowsReady(int rows)
{
    // Woken a band at a time: waking the thread for every row or two costs more than the rows.
    Work &w = *m_work;
    if (rows < w.told + bandRows)
        return;
    w.told = rows;
    {
        const std::lock_guard<std::mutex> lock(m_work->mutex);
        m_work->ready = rows;
    }
    m_work->wake.notify_all();
}

Conversion ConcurrentConversion::finish()
{
    Work &w = *m_work;
    if (w.thread.joinable()) {
        {
            const std::lock_guard<std::mutex> lock(w.mutex);
            w.all = true;
        }
        w.wake.notify_all();
        w.thread.join();
        return w.outcome;
    }
    if (w.outcome != Conversion::Converted || !w.bits)
        return w.outcome;
    w.all = true;
    w.ready = w.height;
    w.run(); // no thread: the same work, here
    return w.outcome;
}

void setDisplayProfile(const QByteArray &icc)
{
    // A display profile must take RGB from sRGB: one that cannot is ignored.
    const bool usable = !icc.isEmpty() && build({}, StoredPixels::Rgb, icc) != nullptr &&
                        transformFor(icc, StoredPixels::Rgb, {}) != nullptr;
    Shared &s = shared();
    const std::lock_guard<std::mutex> lock(s.mutex);
    s.display = usable ? icc : QByteArray();
}

bool displayIsSrgb()
{
    return targetBytes(ColourTarget::Display).isEmpty();
}

bool profileFits(const QByteArray &profile, StoredPixels pixels, ColourTarget target)
{
    return transformFor(profile, pixels, targetBytes(target)) != nullptr;
}

Conversion convertColours(QImage &image, const QByteArray &profile, StoredPixels pixels,
                          ColourTarget target, const std::atomic<bool> *cancel)
{
    const QByteArray to = targetBytes(target);
    if (alreadyInTarget(profile, pixels, to))
        return Conversion::Converted; // already in the display's colours
    const std::shared_ptr<const Transform> transform = transformFor(profile, pixels, to);
    const QImage::Format format = image.format();
    if (!transform || image.isNull() ||
        (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
         format != QImage::Format_ARGB32_Premultiplied))
        return Conversion::Unusable;

    // Premultiplied colours are no colours of the profile: undone and done again around it.
    const bool premultiplied = format == QImage::Format_ARGB32_Premultiplied;
    if (premultiplied)
        image.convertTo(QImage::Format_ARGB32);
    const bool cancelled = !convertRows(*transform, pixels, image.bits(), image.bytesPerLine(),
                                        image.width(), 0, image.height(), cancel);
    if (cancelled)
        return Conversion::Cancelled;
    if (premultiplied)
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
    return Conversion::Converted;
}

} // namespace vistrel
