#include "velkscope/PngFile.h"

#include <stdint.h>
#include <stdio.h>

#include "common/Catalogue.h"

namespace {

// The few entry points of GDI+'s flat API used here (gdiplusflat.h).
struct StartupInput {
    UINT32 version;
    void* debugCallback;
    BOOL suppressBackgroundThread;
    BOOL suppressExternalCodecs;
};
typedef int (WINAPI *GdiplusStartupFn)(ULONG_PTR* token, const StartupInput* input, void* output);
typedef void (WINAPI *GdiplusShutdownFn)(ULONG_PTR token);
typedef int (WINAPI *CreateBitmapFn)(HBITMAP bitmap, HPALETTE palette, void** image);
typedef int (WINAPI *SaveImageFn)(void* image, const WCHAR* path, const CLSID* encoder, const void* parameters);
typedef int (WINAPI *DisposeImageFn)(void* image);

// The PNG encoder, {557CF406-1A04-11D3-9A73-0000F81EF32E}.
const CLSID kPngEncoder = { 0x557CF406, 0x1A04, 0x11D3, { 0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E } };

std::string Failed(const char* what, int status)
{
    char text[96];
    snprintf(text, sizeof text, N_("GDI+ %s failed (status %d)"), what, status);
    return text;
}

} // namespace

bool SaveBitmapAsPng(HBITMAP bitmap, const wchar_t* path, std::string* error)
{
    // From the system folder only, never from beside the program.
    wchar_t library[MAX_PATH];
    UINT length = GetSystemDirectoryW(library, MAX_PATH);
    if (length == 0 || length + 13 >= MAX_PATH) {
        *error = N_("no system folder");
        return false;
    }
    wcscat(library, L"\\gdiplus.dll");
    HMODULE gdiplus = LoadLibraryW(library);
    if (gdiplus == nullptr) {
        *error = N_("cannot load gdiplus.dll");
        return false;
    }
    GdiplusStartupFn startup = reinterpret_cast<GdiplusStartupFn>(reinterpret_cast<void*>(GetProcAddress(gdiplus, "GdiplusStartup")));
    GdiplusShutdownFn shutdown = reinterpret_cast<GdiplusShutdownFn>(reinterpret_cast<void*>(GetProcAddress(gdiplus, "GdiplusShutdown")));
    CreateBitmapFn createBitmap = reinterpret_cast<CreateBitmapFn>(reinterpret_cast<void*>(GetProcAddress(gdiplus, "GdipCreateBitmapFromHBITMAP")));
    SaveImageFn saveImage = reinterpret_cast<SaveImageFn>(reinterpret_cast<void*>(GetProcAddress(gdiplus, "GdipSaveImageToFile")));
    DisposeImageFn disposeImage = reinterpret_cast<DisposeImageFn>(reinterpret_cast<void*>(GetProcAddress(gdiplus, "GdipDisposeImage")));
    if (startup == nullptr || shutdown == nullptr || createBitmap == nullptr || saveImage == nullptr || disposeImage == nullptr) {
        FreeLibrary(gdiplus);
        *error = N_("gdiplus.dll lacks the functions needed");
        return false;
    }

    ULONG_PTR token = 0;
    StartupInput input = { 1, nullptr, FALSE, FALSE };
    int status = startup(&token, &input, nullptr);
    bool saved = false;
    if (status != 0) {
        *error = Failed(N_("start-up"), status);
    } else {
        void* image = nullptr;
        status = createBitmap(bitmap, nullptr, &image);
        if (status != 0) {
            *error = Failed(N_("bitmap"), status);
        } else {
            status = saveImage(image, path, &kPngEncoder, nullptr);
            saved = status == 0;
            if (!saved)
                *error = Failed(N_("save"), status);
            disposeImage(image);
        }
        shutdown(token);
    }
    FreeLibrary(gdiplus);
    return saved;
}
