#include "FakeHost.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

std::string str(const char* s) { return s ? std::string(s) : std::string("(null)"); }

template <typename... Args>
void record(const char* name, const Args&... args) {
    std::ostringstream out;
    out << name << '(';
    bool first = true;
    ((out << (first ? "" : ",") << args, first = false), ...);
    out << ')';
    fakeHost().calls.push_back(out.str());
}

void record(const char* name) { fakeHost().calls.push_back(std::string(name) + "()"); }

char* handOut(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    std::memcpy(copy, text.c_str(), text.size() + 1);
    ++fakeHost().outstandingBlocks;
    return copy;
}

std::string profileKey(int scope, const char* section, const char* key) {
    return std::to_string(scope) + "|" + str(section) + "|" + str(key);
}

template <typename Map>
auto lookup(const Map& map, const char* key, typename Map::mapped_type fallback) {
    if (!key) return fallback;
    auto it = map.find(key);
    return it == map.end() ? fallback : it->second;
}

const void* ptr(const void* p) { return p; }

}  // namespace

int FakeHost::count(const std::string& prefix) const { return static_cast<int>(callsStartingWith(prefix).size()); }

std::vector<std::string> FakeHost::callsStartingWith(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& c : calls)
        if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
    return out;
}

FakeHost& fakeHost() {
    static FakeHost host;
    return host;
}

extern "C" {

void QVFree(void* block) {
    record("QVFree");
    if (block) --fakeHost().outstandingBlocks;
    std::free(block);
}

int QVGetProfileBool(const char* id, int scope, const char* section, const char* key, int def) {
    record("QVGetProfileBool", str(id), scope, str(section), str(key), def);
    auto it = fakeHost().profile.find(profileKey(scope, section, key));
    return it == fakeHost().profile.end() ? def : (std::atoi(it->second.c_str()) != 0);
}
int QVGetProfileInt(const char* id, int scope, const char* section, const char* key, int def) {
    record("QVGetProfileInt", str(id), scope, str(section), str(key), def);
    auto it = fakeHost().profile.find(profileKey(scope, section, key));
    return it == fakeHost().profile.end() ? def : std::atoi(it->second.c_str());
}
char* QVGetProfileString(const char* id, int scope, const char* section, const char* key, const char* def) {
    record("QVGetProfileString", str(id), scope, str(section), str(key), str(def));
    auto it = fakeHost().profile.find(profileKey(scope, section, key));
    return handOut(it == fakeHost().profile.end() ? (def ? def : "") : it->second);
}
void QVWriteProfileBool(const char* id, int scope, const char* section, const char* key, int value) {
    record("QVWriteProfileBool", str(id), scope, str(section), str(key), value);
    fakeHost().profile[profileKey(scope, section, key)] = value ? "1" : "0";
}
void QVWriteProfileInt(const char* id, int scope, const char* section, const char* key, int value) {
    record("QVWriteProfileInt", str(id), scope, str(section), str(key), value);
    fakeHost().profile[profileKey(scope, section, key)] = std::to_string(value);
}
void QVWriteProfileString(const char* id, int scope, const char* section, const char* key, const char* value) {
    record("QVWriteProfileString", str(id), scope, str(section), str(key), str(value));
    fakeHost().profile[profileKey(scope, section, key)] = value ? value : "";
}

void QVAddMenu(const char* id, int reserved, const char* path, int command, int separator) {
    record("QVAddMenu", str(id), reserved, str(path), command, separator);
}
void QVAddButtonToPluginToolbar(const char* id, int command, int updateCommand, const QVMonoBitmap* bitmap) {
    record("QVAddButtonToPluginToolbar", str(id), command, updateCommand,
           bitmap ? std::to_string(bitmap->width) + "x" + std::to_string(bitmap->height) : std::string("(null)"));
}
QVWindowHandle QVCreateWindowInActiveCell(const char* id, int command) {
    record("QVCreateWindowInActiveCell", str(id), command);
    return fakeHost().onCreateWindowInActiveCell ? fakeHost().onCreateWindowInActiveCell(id, command) : nullptr;
}
QVWindowHandle QVCreateWindowInPlace(const char* id, QVPlaceHandle place, int reserved) {
    record("QVCreateWindowInPlace", str(id), ptr(place), reserved);
    return nullptr;
}
void QVDestroyPluginWindow(QVWindowHandle window) {
    record("QVDestroyPluginWindow", ptr(window));
    if (fakeHost().onDestroyPluginWindow) fakeHost().onDestroyPluginWindow(window);
}
void QVActivateInGrid(QVWindowHandle window) { record("QVActivateInGrid", ptr(window)); }
void QVUpdateTool(QVWindowHandle window, int what) { record("QVUpdateTool", ptr(window), what); }
QVPlaceHandle QVGetPlaceOfWindow(QVWindowHandle window) {
    record("QVGetPlaceOfWindow", ptr(window));
    return reinterpret_cast<QVPlaceHandle>(0x9100);
}
QVPlaceHandle QVGetPlaceOfImagePanel(QVPanelHandle panel) {
    record("QVGetPlaceOfImagePanel", ptr(panel));
    return reinterpret_cast<QVPlaceHandle>(0x9200);
}
QVPanelHandle QVGetImagePanelOfPlace(QVPlaceHandle place) {
    record("QVGetImagePanelOfPlace", ptr(place));
    return reinterpret_cast<QVPanelHandle>(0x9300);
}
QVPanelHandle QVGetImagePanelOfView(QVViewHandle view) {
    record("QVGetImagePanelOfView", ptr(view));
    return reinterpret_cast<QVPanelHandle>(0x9400);
}
int QVPutGroupToPlace(QVPlaceHandle place, QVGroupHandle group) {
    record("QVPutGroupToPlace", ptr(place), ptr(group));
    return 1;
}
void QVReleasePlace(QVPlaceHandle place) { record("QVReleasePlace", ptr(place)); }
int QVGetViewCount(QVPanelHandle panel) {
    record("QVGetViewCount", ptr(panel));
    return 0;
}
QVViewHandle QVGetView(QVPanelHandle panel, int index) {
    record("QVGetView", ptr(panel), index);
    return nullptr;
}
int QVGetActiveView(QVPanelHandle panel) {
    record("QVGetActiveView", ptr(panel));
    return -1;
}
void QVSetActiveView(QVPanelHandle panel, int index) { record("QVSetActiveView", ptr(panel), index); }
uint32_t QVGetImagePanelBackground(void) {
    record("QVGetImagePanelBackground");
    return fakeHost().panelBackground;
}

char* QVGetActiveImage(void) {
    record("QVGetActiveImage");
    return fakeHost().activeImage.empty() ? nullptr : handOut(fakeHost().activeImage);
}
char* QVGetImageID(QVViewHandle view) {
    record("QVGetImageID", ptr(view));
    return nullptr;
}
char* QVGetGroupImageID(QVGroupHandle group, int index) {
    record("QVGetGroupImageID", ptr(group), index);
    auto it = fakeHost().groups.find(group);
    if (it == fakeHost().groups.end() || index < 0 || index >= static_cast<int>(it->second.size())) return nullptr;
    return handOut(it->second[static_cast<size_t>(index)]);
}
QVGroupHandle QVGetGroupOfImage(const char* image) {
    record("QVGetGroupOfImage", str(image));
    return lookup(fakeHost().groupOfImage, image, nullptr);
}
int QVGetImageCount(QVGroupHandle group) {
    record("QVGetImageCount", ptr(group));
    auto it = fakeHost().groups.find(group);
    return it == fakeHost().groups.end() ? 0 : static_cast<int>(it->second.size());
}
int QVGetStudyCount(void) {
    record("QVGetStudyCount");
    return static_cast<int>(fakeHost().studies.size());
}
char* QVGetStudyUID(int index) {
    record("QVGetStudyUID", index);
    if (index < 0 || index >= static_cast<int>(fakeHost().studies.size())) return nullptr;
    return handOut(fakeHost().studies[static_cast<size_t>(index)]);
}
int QVGetGroupCount(const char* study) {
    record("QVGetGroupCount", str(study));
    auto it = fakeHost().studyGroups.find(str(study));
    return it == fakeHost().studyGroups.end() ? 0 : static_cast<int>(it->second.size());
}
QVGroupHandle QVGetGroup(const char* study, int index) {
    record("QVGetGroup", str(study), index);
    auto it = fakeHost().studyGroups.find(str(study));
    if (it == fakeHost().studyGroups.end() || index < 0 || index >= static_cast<int>(it->second.size())) return nullptr;
    return it->second[static_cast<size_t>(index)];
}
char* QVGetSeriesUID(const char* image) {
    record("QVGetSeriesUID", str(image));
    auto it = fakeHost().seriesUid.find(str(image));
    return it == fakeHost().seriesUid.end() ? nullptr : handOut(it->second);
}
char* QVImageSOPInstanceUID(const char* image) {
    record("QVImageSOPInstanceUID", str(image));
    auto it = fakeHost().sopUid.find(str(image));
    return it == fakeHost().sopUid.end() ? nullptr : handOut(it->second);
}
int QVImageGetRows(const char* image) {
    record("QVImageGetRows", str(image));
    return lookup(fakeHost().rows, image, 0);
}
int QVImageGetColumns(const char* image) {
    record("QVImageGetColumns", str(image));
    return lookup(fakeHost().columns, image, 0);
}
int QVImageGetType(const char* image) {
    record("QVImageGetType", str(image));
    return lookup(fakeHost().pixelType, image, 1);
}
int QVCanDeleteImage(const char* id, const char* image) {
    record("QVCanDeleteImage", str(id), str(image));
    return lookup(fakeHost().deletable, image, false) ? 1 : 0;
}
int QVDeleteImage(const char* id, const char* image) {
    record("QVDeleteImage", str(id), str(image));
    // Deleting shrinks the group, as a real host does.
    auto groupIt = fakeHost().groupOfImage.find(str(image));
    if (groupIt != fakeHost().groupOfImage.end()) {
        auto& ids = fakeHost().groups[groupIt->second];
        for (auto it = ids.begin(); it != ids.end(); ++it)
            if (*it == image) {
                ids.erase(it);
                break;
            }
    }
    return 1;
}
int QVGetWindowLevel(QVViewHandle view, WindowLevelRecord* record_) {
    record("QVGetWindowLevel", ptr(view), ptr(record_));
    return 0;
}

QVDatasetHandle QVGetDicomDataSet(const char* image) {
    record("QVGetDicomDataSet", str(image));
    auto it = fakeHost().dicomStrings.find(str(image));
    if (it != fakeHost().dicomStrings.end()) return reinterpret_cast<QVDatasetHandle>(const_cast<std::string*>(&it->first));
    auto jt = fakeHost().dicomBytes.find(str(image));
    if (jt != fakeHost().dicomBytes.end()) return reinterpret_cast<QVDatasetHandle>(const_cast<std::string*>(&jt->first));
    return nullptr;
}
char* QVGetDicomStringArray(QVDatasetHandle dataset, uint16_t group, uint16_t element) {
    record("QVGetDicomStringArray", ptr(dataset), group, element);
    if (!dataset) return nullptr;
    const std::string& image = *reinterpret_cast<const std::string*>(dataset);
    auto& tags = fakeHost().dicomStrings[image];
    auto it = tags.find((uint32_t(group) << 16) | element);
    return it == tags.end() ? nullptr : handOut(it->second);
}
uint8_t* QVGetDicomUint8Array(QVDatasetHandle dataset, uint16_t group, uint16_t element, int32_t* length) {
    record("QVGetDicomUint8Array", ptr(dataset), group, element);
    if (length) *length = 0;
    if (!dataset) return nullptr;
    const std::string& image = *reinterpret_cast<const std::string*>(dataset);
    auto& tags = fakeHost().dicomBytes[image];
    auto it = tags.find((uint32_t(group) << 16) | element);
    if (it == tags.end()) return nullptr;
    auto* copy = static_cast<uint8_t*>(std::malloc(it->second.size() + 1));
    std::memcpy(copy, it->second.data(), it->second.size());
    ++fakeHost().outstandingBlocks;
    if (length) *length = static_cast<int32_t>(it->second.size());
    return copy;
}

QVVolumeRecord* QVCreateVolume(int count, const char* const* ids, int flags) {
    record("QVCreateVolume", count, ids && count > 0 ? str(ids[0]) : std::string("(none)"), flags);
    return fakeHost().nextVolume;
}
void QVUpdateVolume(QVVolumeRecord* volume) {
    record("QVUpdateVolume", ptr(volume));
    if (fakeHost().onUpdateVolume) fakeHost().onUpdateVolume(volume);
}
void QVReleaseVolume(QVVolumeRecord* volume) { record("QVReleaseVolume", ptr(volume)); }
double QVGetCompletionRate(const char* image) {
    record("QVGetCompletionRate", str(image));
    return lookup(fakeHost().completion, image, 1.0);
}
double QVGetCompressionRate(const char* image) {
    record("QVGetCompressionRate", str(image));
    return lookup(fakeHost().compression, image, 1.0);
}
double QVGetDownloadRate(const char* image) {
    record("QVGetDownloadRate", str(image));
    return lookup(fakeHost().download, image, 1.0);
}
int QVIsLossless(const char* image) {
    record("QVIsLossless", str(image));
    return lookup(fakeHost().lossless, image, 1);
}
void QVSetMagicX(int32_t series, double x, double y, double z) { record("QVSetMagicX", series, x, y, z); }
int QVIsMessageWaiting(void) {
    record("QVIsMessageWaiting");
    return fakeHost().messageWaiting;
}

QVNewFileHandle QVCreateNewDicomFile(const char* identity, const char* source, const void* pixels, int type, int width,
                                     int height, const char* sop) {
    record("QVCreateNewDicomFile", str(identity), str(source), pixels ? "pixels" : "(null)", type, width, height, str(sop));
    return fakeHost().nextNewFile;
}
int QVNewFileSetDatasetFloat64(QVNewFileHandle file, uint16_t group, uint16_t element, const double* values, int count) {
    record("QVNewFileSetDatasetFloat64", ptr(file), group, element, count > 0 && values ? values[0] : 0.0, count);
    return 1;
}
int QVNewFileSetDatasetUint16(QVNewFileHandle file, uint16_t group, uint16_t element, const uint16_t* values, int count) {
    record("QVNewFileSetDatasetUint16", ptr(file), group, element, count > 0 && values ? values[0] : 0, count);
    return 1;
}
int QVNewFileSetDatasetString(QVNewFileHandle file, uint16_t group, uint16_t element, const char* value) {
    record("QVNewFileSetDatasetString", ptr(file), group, element, str(value));
    return 1;
}
int QVNewFileSetDatasetUint8(QVNewFileHandle file, uint16_t group, uint16_t element, const uint8_t* values, int count) {
    record("QVNewFileSetDatasetUint8", ptr(file), group, element, values ? "bytes" : "(null)", count);
    return 1;
}
int QVNewFileRemoveDatasetTag(QVNewFileHandle file, uint16_t group, uint16_t element) {
    record("QVNewFileRemoveDatasetTag", ptr(file), group, element);
    return 1;
}
int QVNewFileNewSeriesUID(QVNewFileHandle file, const char* series, int number) {
    record("QVNewFileNewSeriesUID", ptr(file), str(series), number);
    return 1;
}
char* QVNewFileAddToViewer(QVNewFileHandle file) {
    record("QVNewFileAddToViewer", ptr(file));
    return fakeHost().nextAddedImageId.empty() ? nullptr : handOut(fakeHost().nextAddedImageId);
}
void QVDestroyNewFile(QVNewFileHandle file) { record("QVDestroyNewFile", ptr(file)); }

int QVHasCollaborationControl(void) {
    record("QVHasCollaborationControl");
    return fakeHost().collaborationControl;
}
int QVSendDataToCollaborationPeers(QVWindowHandle window, const char* data, int length, int flags) {
    record("QVSendDataToCollaborationPeers", ptr(window), length, flags);
    fakeHost().sentToPeers.emplace_back(data ? std::string(data, static_cast<size_t>(length)) : std::string());
    return 1;
}

int QVMessageBox(const char* text, const char* caption, uint32_t flags) {
    record("QVMessageBox", str(text), str(caption), flags);
    fakeHost().messageBoxes.push_back(str(caption) + "|" + str(text) + "|" + std::to_string(flags));
    return fakeHost().messageBoxAnswer;
}
char* QVGetCurrentServer(void) {
    record("QVGetCurrentServer");
    return handOut(fakeHost().currentServer);
}

}  // extern "C"
