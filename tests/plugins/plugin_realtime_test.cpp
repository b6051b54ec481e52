// The plugins' real-time rules: inside run() (and the worker's answer, which hosts deliver on
// the audio thread) nothing is allocated or freed and no mutex is taken, whatever the host does
// between blocks: blocks of every size, every control moved, presets changed, a parameter file
// loaded, the resampled rates. This program replaces malloc and its relatives to count the
// calls made while a plugin's real-time function runs. Sanitizer builds bring their own
// allocator: there the test is skipped.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <cstdlib>
#include <random>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "plugins/plugin_ids.h"
#include "tests/plugins/plugin_cases.h"
#include "tests/support/fixtures.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/tools.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZV_ALLOCATOR_HOOKS 0
#else
#define ZV_ALLOCATOR_HOOKS 1
#endif

namespace {
thread_local bool g_inside = false;
std::atomic<long> g_allocations{0};
std::atomic<long> g_frees{0};
std::atomic<long> g_locks{0};
}  // namespace

#if ZV_ALLOCATOR_HOOKS
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);

void* malloc(size_t n) {
    if (g_inside) {
        ++g_allocations;
    }
    return __libc_malloc(n);
}
void* calloc(size_t n, size_t size) {
    if (g_inside) {
        ++g_allocations;
    }
    return __libc_calloc(n, size);
}
void* realloc(void* p, size_t n) {
    if (g_inside) {
        ++g_allocations;
    }
    return __libc_realloc(p, n);
}
void* memalign(size_t alignment, size_t n) {
    if (g_inside) {
        ++g_allocations;
    }
    return __libc_memalign(alignment, n);
}
void* aligned_alloc(size_t alignment, size_t n) {
    return memalign(alignment, n);
}
int posix_memalign(void** out, size_t alignment, size_t n) {
    void* p = memalign(alignment, n);
    if (p == nullptr) {
        return ENOMEM;
    }
    *out = p;
    return 0;
}
void free(void* p) {
    if (g_inside && p != nullptr) {
        ++g_frees;
    }
    __libc_free(p);
}

using LockFunction = int (*)(pthread_mutex_t*);
LockFunction real_lock() {
    static const LockFunction f =
        reinterpret_cast<LockFunction>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    return f;
}
const LockFunction g_lock_resolved = real_lock();  // before any plugin runs
int pthread_mutex_lock(pthread_mutex_t* m) {
    if (g_inside) {
        ++g_locks;
    }
    return real_lock()(m);
}
}
#endif

namespace zv::test {
namespace {

void mark(bool inside) {
    g_inside = inside;
}

struct Counts {
    long allocations, frees, locks;
};
Counts counts() {
    return {g_allocations.load(), g_frees.load(), g_locks.load()};
}

class RealTime : public ::testing::Test {
protected:
    void SetUp() override {
#if !ZV_ALLOCATOR_HOOKS
        GTEST_SKIP() << "a sanitizer's allocator is in place";
#endif
        g_allocations = g_frees = g_locks = 0;
        set_realtime_mark(mark);
    }
    void TearDown() override {
        set_realtime_mark(nullptr);
    }

    static void expect_none(const char* what) {
        const Counts c = counts();
        EXPECT_EQ(c.allocations, 0) << what;
        EXPECT_EQ(c.frees, 0) << what;
        EXPECT_EQ(c.locks, 0) << what;
    }
};

std::vector<std::vector<float>> program(int channels, size_t frames) {
    std::mt19937 rng(7);
    std::normal_distribution<float> noise(0.0f, 0.15f);
    std::vector<std::vector<float>> s(static_cast<size_t>(channels), std::vector<float>(frames));
    for (size_t f = 0; f < frames; ++f) {
        for (auto& ch : s) {
            ch[f] = std::clamp(0.4f * std::sin(0.03f * static_cast<float>(f)) + noise(rng), -1.0f,
                               1.0f);
        }
    }
    return s;
}

// Blocks of the host's sizes, moving every control to a new value of its range every few
// blocks.
template <typename Plugin, typename Names>
void run_moving_controls(Plugin& p, const Names& names, int channels) {
    const auto signal = program(channels, 48000);
    const BlockPattern blocks = {1, 4096, 17, 8192, 256, 3, 1500, 64};
    std::mt19937 rng(11);
    size_t done = 0;
    for (size_t k = 0; done < signal[0].size(); ++k) {
        if (k % 3 == 0) {
            for (const std::string& n : names) {
                const auto [lo, hi] = p.range(n);
                p.set(n, std::uniform_real_distribution<float>(lo, hi)(rng));
            }
        }
        const size_t n = std::min<size_t>(static_cast<size_t>(blocks[k % blocks.size()]),
                                          signal[0].size() - done);
        std::vector<std::vector<float>> part(static_cast<size_t>(channels));
        std::vector<const float*> in;
        std::vector<float*> out;
        for (int c = 0; c < channels; ++c) {
            part[static_cast<size_t>(c)].assign(signal[static_cast<size_t>(c)].begin() + done,
                                                signal[static_cast<size_t>(c)].begin() + done + n);
            in.push_back(part[static_cast<size_t>(c)].data());
            out.push_back(part[static_cast<size_t>(c)].data());
        }
        p.run(in, out, static_cast<int>(n));
        done += n;
    }
}

TEST_F(RealTime, TheHookSeesAllocationsInsideThePluginObject) {
    // A plugin made while the mark is set allocates: the count shows the hook reaches the
    // dlopened object and the C++ runtime alike.
    mark(true);
    auto p = Lv2Plugin::make(plugin::LV2_STEREO_URI, 44100);
    mark(false);
    EXPECT_GT(counts().allocations, 0);
}

TEST_F(RealTime, Lv2RunsAllocateNothing) {
    for (const auto& [uri, rate, channels] :
         {std::tuple{plugin::LV2_STEREO_URI, 44100, 2}, std::tuple{plugin::LV2_MONO_URI, 32000, 1},
          std::tuple{plugin::LV2_STEREO_URI, 96000, 2},
          std::tuple{plugin::LV2_MONO_URI, 192000, 1}}) {
        SCOPED_TRACE(std::string(uri) + " at " + std::to_string(rate));
        auto p = Lv2Plugin::make(uri, rate);
        ASSERT_TRUE(p);
        run_moving_controls(*p, p->control_symbols(), channels);
        expect_none("LV2 run");
    }
}

TEST_F(RealTime, Lv2ParameterFileLoadAllocatesNothingOnTheAudioThread) {
    ScratchDir dir;
    const std::string file = dir / "station.zv3";
    ASSERT_TRUE(run(shell_quote(ZVMP3_CLI) +
                    " params --preset 342 --set agc_drive_db=18.5 --save " + shell_quote(file)));
    auto p = Lv2Plugin::make(plugin::LV2_STEREO_URI, 48000);
    ASSERT_TRUE(p);
    p->load_parameter_file(file);
    run_moving_controls(*p, std::vector<std::string>{}, 2);
    EXPECT_EQ(p->reported_path(), file);  // the load went through and was answered
    expect_none("LV2 run and work_response");
}

TEST_F(RealTime, LadspaRunsAllocateNothing) {
    for (const auto& [label, rate, channels] :
         {std::tuple{plugin::LADSPA_STEREO_LABEL, 48000, 2},
          std::tuple{plugin::LADSPA_MONO_LABEL, 44100, 1},
          std::tuple{plugin::LADSPA_STEREO_LABEL, 88200, 2}}) {
        SCOPED_TRACE(std::string(label) + " at " + std::to_string(rate));
        auto p = LadspaPlugin::make(label, static_cast<unsigned long>(rate));
        ASSERT_TRUE(p);
        run_moving_controls(*p, p->control_names(), channels);
        expect_none("LADSPA run");
    }
}

#if defined(__SSE__)
TEST_F(RealTime, TheHostsFloatingPointModeIsPutBack) {
    auto p = LadspaPlugin::make(plugin::LADSPA_STEREO_LABEL, 44100);
    const unsigned before = _mm_getcsr() & ~0x8040u;  // no flush-to-zero, no denormals-are-zero
    _mm_setcsr(before);
    run_moving_controls(*p, std::vector<std::string>{}, 2);
    EXPECT_EQ(_mm_getcsr(), before);
}
#endif

}  // namespace
}  // namespace zv::test
