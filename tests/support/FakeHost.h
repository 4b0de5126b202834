#pragma once

#include "QVHostApi.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

// A host for unit tests: every host function is implemented here, records
// its call with the arguments in order, and answers what the test set up.
struct FakeHost {
    // Every call, formatted as "Name(arg1,arg2,...)".
    std::vector<std::string> calls;

    // Images: the active image, groups (handle -> ids), image -> group.
    std::string activeImage;
    std::map<QVGroupHandle, std::vector<std::string>> groups;
    std::map<std::string, QVGroupHandle> groupOfImage;
    std::map<std::string, bool> deletable;
    std::map<std::string, int> rows, columns, pixelType;
    std::map<std::string, std::string> seriesUid, sopUid;
    std::vector<std::string> studies;
    std::map<std::string, std::vector<QVGroupHandle>> studyGroups;
    std::map<std::string, std::map<uint32_t, std::string>> dicomStrings;   // image -> (group<<16|element) -> text
    std::map<std::string, std::map<uint32_t, std::vector<uint8_t>>> dicomBytes;

    // Rates per image (default 1.0 / lossless).
    std::map<std::string, double> completion, compression, download;
    std::map<std::string, int> lossless;

    // Profile: key "scope|section|key" -> text value.
    std::map<std::string, std::string> profile;

    // Volumes: what QVCreateVolume answers (null = refusal); updates applied by QVUpdateVolume.
    QVVolumeRecord* nextVolume = nullptr;
    std::function<void(QVVolumeRecord*)> onUpdateVolume;

    // Windows: what the create calls do (e.g. call the plug-in's create export).
    std::function<QVWindowHandle(const char*, int)> onCreateWindowInActiveCell;
    std::function<void(QVWindowHandle)> onDestroyPluginWindow;

    // Collaboration, message boxes, server, new files.
    int collaborationControl = 0;
    std::vector<std::string> sentToPeers;
    int messageBoxAnswer = QV_IDOK;
    std::vector<std::string> messageBoxes;  // "caption|text|flags"
    std::string currentServer;
    QVNewFileHandle nextNewFile = nullptr;
    std::string nextAddedImageId;
    int messageWaiting = 0;
    uint32_t panelBackground = 0x00303030;

    // Blocks handed out and not yet released with QVFree.
    int outstandingBlocks = 0;

    void reset() { *this = FakeHost(); }
    // Number of recorded calls whose text starts with the given prefix.
    int count(const std::string& prefix) const;
    // The recorded calls whose text starts with the given prefix, in order.
    std::vector<std::string> callsStartingWith(const std::string& prefix) const;
};

FakeHost& fakeHost();
