// Every export twice: as a C++ function (the compiler's decorated name) and
// under its plain C name, each answering differently and logging which one ran.
// Built from ordinary C++ declarations, it is also the check that the decorated
// names the program looks up are the ones a C++ compiler really produces.
#include "FixtureSupport.h"
#include "pz4/PluginContract.h"

namespace {

int lockOnePixel(const char* who, int index, unsigned char** pixels, unsigned char** palette,
                 int* width, int* height, int* colorCount, int* tag) {
    static unsigned char pixel = 9;
    fixture::log(std::string(who) + " LockFrame");
    if (index != 0)
        return 0;
    *pixels = &pixel;
    *palette = nullptr;
    *width = *height = 1;
    *colorCount = 0;
    *tag = 0;
    return 1;
}

} // namespace

// The decorated exports.
const char* GetDllAuthor() {
    fixture::log("decorated GetDllAuthor");
    return "decorated author";
}
const char* GetExtension() {
    fixture::log("decorated GetExtension");
    return "dec";
}
const char* GetDllVersion() {
    fixture::log("decorated GetDllVersion");
    return "decorated version";
}
const char* GetDescription() {
    fixture::log("decorated GetDescription");
    return "decorated description";
}
int SupportsSaveFrames() {
    fixture::log("decorated SupportsSaveFrames");
    return 1;
}
int SupportsSaveAnims() {
    fixture::log("decorated SupportsSaveAnims");
    return 1;
}
int LoadObject(char*) {
    fixture::log("decorated LoadObject");
    return 1;
}
void UnloadObject() {
    fixture::log("decorated UnloadObject");
}
int GetNumberOfFrames() {
    fixture::log("decorated GetNumberOfFrames");
    return 1;
}
int LockFrame(int index, unsigned char** pixels, unsigned char** palette, int* width, int* height,
              int* colorCount, int* tag) {
    return lockOnePixel("decorated", index, pixels, palette, width, height, colorCount, tag);
}
int SaveObject(SAVE_FRAME*) {
    fixture::log("decorated SaveObject");
    return 1;
}
int SaveAnim(SAVE_FRAME*) {
    fixture::log("decorated SaveAnim");
    return 1;
}

// The plain exports, named through asm labels because C++ cannot declare a C
// function of the same name and parameters beside the ones above.
#define PLAIN(name) __asm__(#name)
const char* plainGetDllAuthor() PLAIN(GetDllAuthor);
const char* plainGetExtension() PLAIN(GetExtension);
const char* plainGetDllVersion() PLAIN(GetDllVersion);
const char* plainGetDescription() PLAIN(GetDescription);
int plainSupportsSaveFrames() PLAIN(SupportsSaveFrames);
int plainSupportsSaveAnims() PLAIN(SupportsSaveAnims);
int plainLoadObject(char*) PLAIN(LoadObject);
void plainUnloadObject() PLAIN(UnloadObject);
int plainGetNumberOfFrames() PLAIN(GetNumberOfFrames);
int plainLockFrame(int, unsigned char**, unsigned char**, int*, int*, int*, int*) PLAIN(LockFrame);
int plainSaveObject(SAVE_FRAME*) PLAIN(SaveObject);
int plainSaveAnim(SAVE_FRAME*) PLAIN(SaveAnim);

const char* plainGetDllAuthor() {
    fixture::log("plain GetDllAuthor");
    return "plain author";
}
const char* plainGetExtension() {
    fixture::log("plain GetExtension");
    return "pla";
}
const char* plainGetDllVersion() {
    fixture::log("plain GetDllVersion");
    return "plain version";
}
const char* plainGetDescription() {
    fixture::log("plain GetDescription");
    return "plain description";
}
int plainSupportsSaveFrames() {
    fixture::log("plain SupportsSaveFrames");
    return 0;
}
int plainSupportsSaveAnims() {
    fixture::log("plain SupportsSaveAnims");
    return 0;
}
int plainLoadObject(char*) {
    fixture::log("plain LoadObject");
    return 0;
}
void plainUnloadObject() {
    fixture::log("plain UnloadObject");
}
int plainGetNumberOfFrames() {
    fixture::log("plain GetNumberOfFrames");
    return 7;
}
int plainLockFrame(int index, unsigned char** pixels, unsigned char** palette, int* width,
                   int* height, int* colorCount, int* tag) {
    lockOnePixel("plain", index, pixels, palette, width, height, colorCount, tag);
    return 0;
}
int plainSaveObject(SAVE_FRAME*) {
    fixture::log("plain SaveObject");
    return 0;
}
int plainSaveAnim(SAVE_FRAME*) {
    fixture::log("plain SaveAnim");
    return 0;
}
