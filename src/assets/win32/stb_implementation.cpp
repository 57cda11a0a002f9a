// The Windows build has no stb library to link (Debian's libstb is for Linux), so the code of
// the three stb headers the helper's image functions use is compiled here, once. stb opens
// files by char names; on Windows it reads them as UTF-8, which is what images.cpp gives it.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WINDOWS_UTF8
#define STBIW_WINDOWS_UTF8

#include <stb_image.h>
#include <stb_image_resize.h>
#include <stb_image_write.h>
