// A loadable library that is not a content module: it exports none of the host's functions.
#if defined(_WIN32)
#define NO_EXPORTS_API __declspec(dllexport)
#else
#define NO_EXPORTS_API __attribute__((visibility("default")))
#endif

extern "C" NO_EXPORTS_API int somethingElse(int value) {
  return value + 1;
}
