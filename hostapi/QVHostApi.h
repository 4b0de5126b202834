/*
 * Functions the host viewer exports to its plug-ins, and the records they
 * exchange. Plain C: a test compiles this header as C.
 *
 * Every string or array the host returns is released with QVFree.
 * All calls run on the host's user-interface thread.
 */
#ifndef QV_HOST_API_H
#define QV_HOST_API_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define QV_EXTERN_C extern "C"
#define QV_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define QV_EXTERN_C extern
#define QV_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* Host functions are exported by the host executable; they keep default
   visibility even where a build hides everything else. */
#define QV_HOST_FN QV_EXTERN_C __attribute__((visibility("default")))

/* Opaque host handles. */
typedef struct QVGroup_* QVGroupHandle;
typedef struct QVPanel_* QVPanelHandle;
typedef struct QVView_* QVViewHandle;
typedef struct QVPlace_* QVPlaceHandle;
typedef struct QVDataset_* QVDatasetHandle;
typedef struct QVNewFile_* QVNewFileHandle;
/* A native window: on this port a QWidget pointer behind an opaque type. */
typedef struct QVWindow_* QVWindowHandle;

/* Message-box flags and answers (the classic values, kept for peers and
   callers that pass them through). */
enum {
    QV_MB_OK = 0x0,
    QV_MB_OKCANCEL = 0x1,
    QV_MB_YESNO = 0x4,
    QV_MB_ICONHAND = 0x10,
    QV_MB_ICONSTOP = 0x10,
    QV_MB_ICONQUESTION = 0x20,
    QV_MB_ICONEXCLAMATION = 0x30,
    QV_MB_ICONINFORMATION = 0x40,
    QV_MB_TOPMOST = 0x40000,
    QV_IDOK = 1,
    QV_IDCANCEL = 2,
    QV_IDYES = 6,
    QV_IDNO = 7
};

/* Window/level exchange record: 1056 bytes, both sides fill it. */
typedef struct WindowLevelRecord {
    int32_t size;          /* 0: record size, 1056 */
    int32_t valid;         /* 4: 1 when filled by the plug-in */
    int32_t width;         /* 8 */
    int32_t level;         /* 12: centre */
    int32_t zero16;        /* 16 */
    int32_t zero20;        /* 20 */
    int32_t unused[255];   /* 24 ... 1043 */
    int32_t maxWidth;      /* 1044 */
    int32_t minLevel;      /* 1048 */
    int32_t maxLevel;      /* 1052 */
} WindowLevelRecord;

QV_STATIC_ASSERT(sizeof(WindowLevelRecord) == 1056, "WindowLevelRecord must be 1056 bytes");
QV_STATIC_ASSERT(offsetof(WindowLevelRecord, maxWidth) == 1044, "WindowLevelRecord.maxWidth at 1044");
QV_STATIC_ASSERT(offsetof(WindowLevelRecord, maxLevel) == 1052, "WindowLevelRecord.maxLevel at 1052");

/* Host volume record as returned by QVCreateVolume. Natural layout; the
   reserved fields keep the classic 32-bit offsets, checked below on 32-bit
   builds. Fields not named here are the host's own. */
typedef struct QVVolumeRecord {
    uint16_t* values;          /* 0: all values, slice after slice, or null */
    uint16_t** sliceValues;    /* 4: one block per slice (when values is null) */
    int32_t reserved8[5];      /* 8 ... 27 */
    int32_t columns;           /* 28 */
    int32_t rows;              /* 32 */
    int32_t slices;            /* 36 */
    double spacingX;           /* 40 */
    double spacingY;           /* 48 */
    double spacingZ;           /* 56: distance between slices */
    double reserved64[3];      /* 64 ... 87 */
    double origin[3];          /* 88: position of the first voxel */
    double rowDir[3];          /* 112: x axis of the volume */
    double colDir[3];          /* 136: y axis */
    double sliceDir[3];        /* 160: z axis */
    int32_t seriesHandle;      /* 184: passed to QVSetMagicX */
    int32_t reserved188[6];    /* 188 ... 211 */
    int32_t rawBase;           /* 212: raw value of stored value 0 */
    double slope;              /* 216 */
    double intercept;          /* 224 */
    uint16_t valueRange;       /* 232: highest stored value */
    uint16_t reserved234[13];  /* 234 ... 259 */
    int32_t imageCount;        /* 260 */
    char** imageIds;           /* 264: image identifiers in slice order */
} QVVolumeRecord;

#if UINTPTR_MAX == 0xFFFFFFFFu
QV_STATIC_ASSERT(offsetof(QVVolumeRecord, columns) == 28, "columns at 28");
QV_STATIC_ASSERT(offsetof(QVVolumeRecord, spacingX) == 40, "spacingX at 40");
QV_STATIC_ASSERT(offsetof(QVVolumeRecord, origin) == 88, "origin at 88");
QV_STATIC_ASSERT(offsetof(QVVolumeRecord, rowDir) == 112, "rowDir at 112");
QV_STATIC_ASSERT(offsetof(QVVolumeRecord, sliceDir) == 160, "sliceDir at 160");
QV_STATIC_ASSERT(offsetof(QVVolumeRecord, seriesHandle) == 184, "seriesHandle at 184");
QV_STATIC_ASSERT(offsetof(QVVolumeRecord, rawBase) == 212, "rawBase at 212");
QV_STATIC_ASSERT(offsetof(QVVolumeRecord, slope) == 216, "slope at 216");
QV_STATIC_ASSERT(offsetof(QVVolumeRecord, intercept) == 224, "intercept at 224");
QV_STATIC_ASSERT(offsetof(QVVolumeRecord, valueRange) == 232, "valueRange at 232");
QV_STATIC_ASSERT(offsetof(QVVolumeRecord, imageCount) == 260, "imageCount at 260");
QV_STATIC_ASSERT(offsetof(QVVolumeRecord, imageIds) == 264, "imageIds at 264");
#endif

/* The host toolbar button picture: monochrome, one bit a pixel, rows top to
   bottom, most significant bit leftmost, a set bit is ink. The host copies
   what it needs during the call. */
typedef struct QVMonoBitmap {
    int32_t width;
    int32_t height;
    int32_t stride;            /* bytes per row */
    const uint8_t* bits;
} QVMonoBitmap;

/* Memory */
QV_HOST_FN void QVFree(void* block);

/* Profile (plug-in identifier, scope flag, section, key, default or value) */
QV_HOST_FN int QVGetProfileBool(const char* pluginId, int scope, const char* section, const char* key, int defaultValue);
QV_HOST_FN int QVGetProfileInt(const char* pluginId, int scope, const char* section, const char* key, int defaultValue);
QV_HOST_FN char* QVGetProfileString(const char* pluginId, int scope, const char* section, const char* key, const char* defaultValue);
QV_HOST_FN void QVWriteProfileBool(const char* pluginId, int scope, const char* section, const char* key, int value);
QV_HOST_FN void QVWriteProfileInt(const char* pluginId, int scope, const char* section, const char* key, int value);
QV_HOST_FN void QVWriteProfileString(const char* pluginId, int scope, const char* section, const char* key, const char* value);

/* Windows, menus, places and panels */
QV_HOST_FN void QVAddMenu(const char* pluginId, int reserved, const char* menuPath, int command, int separator);
QV_HOST_FN void QVAddButtonToPluginToolbar(const char* pluginId, int command, int updateCommand, const QVMonoBitmap* bitmap);
QV_HOST_FN QVWindowHandle QVCreateWindowInActiveCell(const char* pluginId, int command);
QV_HOST_FN QVWindowHandle QVCreateWindowInPlace(const char* pluginId, QVPlaceHandle place, int reserved);
QV_HOST_FN void QVDestroyPluginWindow(QVWindowHandle window);
QV_HOST_FN void QVActivateInGrid(QVWindowHandle window);
QV_HOST_FN void QVUpdateTool(QVWindowHandle window, int what);
QV_HOST_FN QVPlaceHandle QVGetPlaceOfWindow(QVWindowHandle window);
QV_HOST_FN QVPlaceHandle QVGetPlaceOfImagePanel(QVPanelHandle panel);
QV_HOST_FN QVPanelHandle QVGetImagePanelOfPlace(QVPlaceHandle place);
QV_HOST_FN QVPanelHandle QVGetImagePanelOfView(QVViewHandle view);
QV_HOST_FN int QVPutGroupToPlace(QVPlaceHandle place, QVGroupHandle group);
QV_HOST_FN void QVReleasePlace(QVPlaceHandle place);
QV_HOST_FN int QVGetViewCount(QVPanelHandle panel);
QV_HOST_FN QVViewHandle QVGetView(QVPanelHandle panel, int index);
QV_HOST_FN int QVGetActiveView(QVPanelHandle panel);           /* index, -1 when none */
QV_HOST_FN void QVSetActiveView(QVPanelHandle panel, int index);
QV_HOST_FN uint32_t QVGetImagePanelBackground(void);           /* 0x00BBGGRR */

/* Images, series, studies */
QV_HOST_FN char* QVGetActiveImage(void);
QV_HOST_FN char* QVGetImageID(QVViewHandle view);
QV_HOST_FN char* QVGetGroupImageID(QVGroupHandle group, int index);
QV_HOST_FN QVGroupHandle QVGetGroupOfImage(const char* imageId);
QV_HOST_FN int QVGetImageCount(QVGroupHandle group);
QV_HOST_FN int QVGetStudyCount(void);
QV_HOST_FN char* QVGetStudyUID(int studyIndex);
QV_HOST_FN int QVGetGroupCount(const char* studyUid);
QV_HOST_FN QVGroupHandle QVGetGroup(const char* studyUid, int groupIndex);
QV_HOST_FN char* QVGetSeriesUID(const char* imageId);
QV_HOST_FN char* QVImageSOPInstanceUID(const char* imageId);
QV_HOST_FN int QVImageGetRows(const char* imageId);
QV_HOST_FN int QVImageGetColumns(const char* imageId);
QV_HOST_FN int QVImageGetType(const char* imageId);            /* 0 = one byte per pixel */
QV_HOST_FN int QVCanDeleteImage(const char* pluginId, const char* imageId);
QV_HOST_FN int QVDeleteImage(const char* pluginId, const char* imageId);
QV_HOST_FN int QVGetWindowLevel(QVViewHandle view, WindowLevelRecord* record);

/* DICOM attributes of loaded images. The dataset belongs to the host. */
QV_HOST_FN QVDatasetHandle QVGetDicomDataSet(const char* imageId);
/* The value as text, multiple values separated by backslashes; null when absent. */
QV_HOST_FN char* QVGetDicomStringArray(QVDatasetHandle dataset, uint16_t group, uint16_t element);
/* The value bytes; *length receives their count; null when absent. */
QV_HOST_FN uint8_t* QVGetDicomUint8Array(QVDatasetHandle dataset, uint16_t group, uint16_t element, int32_t* length);

/* Volumes */
QV_HOST_FN QVVolumeRecord* QVCreateVolume(int count, const char* const* imageIds, int flags);
QV_HOST_FN void QVUpdateVolume(QVVolumeRecord* volume);
QV_HOST_FN void QVReleaseVolume(QVVolumeRecord* volume);
QV_HOST_FN double QVGetCompletionRate(const char* imageId);
QV_HOST_FN double QVGetCompressionRate(const char* imageId);
/* Optional: looked up by name at run time, may be absent. */
QV_HOST_FN double QVGetDownloadRate(const char* imageId);
QV_HOST_FN int QVIsLossless(const char* imageId);
QV_HOST_FN void QVSetMagicX(int32_t seriesHandle, double x, double y, double z);
/* Optional, this port's stand-in for peeking the thread's message queue:
   non-zero while the host has input or posted messages waiting. */
QV_HOST_FN int QVIsMessageWaiting(void);

typedef double (*QVGetDownloadRateFn)(const char*);
typedef int (*QVIsLosslessFn)(const char*);
typedef void (*QVSetMagicXFn)(int32_t, double, double, double);
/* Optional: why the last QVCreateVolume answered null, in the user's words
   (QVFree); null when it did not. */
QV_HOST_FN char* QVGetVolumeRefusal(void);
typedef char* (*QVGetVolumeRefusalFn)(void);
typedef int (*QVIsMessageWaitingFn)(void);

/* New DICOM files. pixelType 1 = 16-bit grey (MONOCHROME2), 2 = 8-bit RGB. */
QV_HOST_FN QVNewFileHandle QVCreateNewDicomFile(const char* pluginIdentity, const char* sourceImageId, const void* pixels,
                                                int pixelType, int width, int height, const char* sopInstanceUid);
QV_HOST_FN int QVNewFileSetDatasetFloat64(QVNewFileHandle file, uint16_t group, uint16_t element, const double* values, int count);
QV_HOST_FN int QVNewFileSetDatasetUint16(QVNewFileHandle file, uint16_t group, uint16_t element, const uint16_t* values, int count);
QV_HOST_FN int QVNewFileSetDatasetString(QVNewFileHandle file, uint16_t group, uint16_t element, const char* value);
QV_HOST_FN int QVNewFileSetDatasetUint8(QVNewFileHandle file, uint16_t group, uint16_t element, const uint8_t* values, int count);
QV_HOST_FN int QVNewFileRemoveDatasetTag(QVNewFileHandle file, uint16_t group, uint16_t element);
QV_HOST_FN int QVNewFileNewSeriesUID(QVNewFileHandle file, const char* seriesUid, int seriesNumber);
/* Adds the file to the viewer: answers the new image's identifier (QVFree),
   and then owns the file; null on failure (the caller destroys the file). */
QV_HOST_FN char* QVNewFileAddToViewer(QVNewFileHandle file);
QV_HOST_FN void QVDestroyNewFile(QVNewFileHandle file);
/* Optional: adds a complete DICOM file the plug-in made (preamble, meta
   header and dataset) that is not an image, such as a segmentation, to its
   study. Answers the object's SOP instance UID (QVFree); null on failure,
   with the reason in *error when error is not null (QVFree). */
QV_HOST_FN char* QVAddDicomObjectToViewer(const char* pluginIdentity, const void* bytes, int64_t length, char** error);
typedef char* (*QVAddDicomObjectToViewerFn)(const char*, const void*, int64_t, char**);

/* Collaboration */
QV_HOST_FN int QVHasCollaborationControl(void);
/* A message is at most QV_MAX_COLLABORATION_MESSAGE_BYTES: receivers refuse
   longer ones whole, and the hub keeps at most that much merged state of one
   window for peers that join late. flags is 0. */
#define QV_MAX_COLLABORATION_MESSAGE_BYTES 1048576
QV_HOST_FN int QVSendDataToCollaborationPeers(QVWindowHandle window, const char* data, int length, int flags);

/* Other */
QV_HOST_FN int QVMessageBox(const char* text, const char* caption, uint32_t flags);
/* Absolute URL prefix without a trailing slash (QVFree). */
QV_HOST_FN char* QVGetCurrentServer(void);

#endif /* QV_HOST_API_H */
