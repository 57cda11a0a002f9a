#include "bridge/json_escape_kernels.h"

#include "bridge/json_escape_walk.h"

namespace bridge {

namespace json_escape {
namespace {

char* escapePortable(char* w, std::string_view text) {
    std::size_t at = 0;
    while (text.size() - at >= 16)
        at += walk(text, at, 16, lookPortable(text.data() + at), text.size(), w);
    return escapeTail(w, text, at);
}

#if defined(__SSE2__)

// Sixteen bytes at a time: a chunk with nothing to escape is copied in one move, others are
// walked. The compare is signed, so bytes of 0x80 and more count as below 0x20: one compare
// finds control bytes and non-ASCII alike.
char* escapeSse2(char* w, std::string_view text) {
    std::size_t at = 0;
    while (text.size() - at >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
        const __m128i hit = _mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)),
                                         _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')),
                                                      _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'))));
        const auto look = static_cast<unsigned>(_mm_movemask_epi8(hit));
        if (look) {
            at += walk(text, at, 16, look, text.size(), w);
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(w), v);
            w += 16;
            at += 16;
        }
    }
    return escapeTail(w, text, at);
}

// The processor's features as the compiler's runtime reads them (AVX2 only where the system
// also saves its registers).
bool hasSsse3() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3");
}

bool hasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

bool hasAvx512() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
           __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi2") &&
           __builtin_cpu_supports("popcnt");
}

#endif

}  // namespace

Kernel fastest() {
#if defined(__SSE2__)
    static const Kernel kernel = hasAvx512()  ? escapeAvx512
                                 : hasAvx2()  ? escapeAvx2
                                 : hasSsse3() ? escapeSsse3
                                              : escapeSse2;
    return kernel;
#else
    return escapePortable;
#endif
}

std::vector<NamedKernel> available() {
    std::vector<NamedKernel> kernels = {{"portable", escapePortable}};
#if defined(__SSE2__)
    kernels.push_back({"sse2", escapeSse2});
    if (hasSsse3()) kernels.push_back({"ssse3", escapeSsse3});
    if (hasAvx2()) kernels.push_back({"avx2", escapeAvx2});
    if (hasAvx512()) kernels.push_back({"avx512", escapeAvx512});
#endif
    return kernels;
}

}  // namespace json_escape

}  // namespace bridge
