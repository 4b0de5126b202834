#include "QVHostApi.h"

QVNewFileHandle QVCreateNewDicomFile(const char*, const char*, const void*, int, int, int, const char*) { return nullptr; }
int QVNewFileSetDatasetFloat64(QVNewFileHandle, uint16_t, uint16_t, const double*, int) { return 0; }
int QVNewFileSetDatasetUint16(QVNewFileHandle, uint16_t, uint16_t, const uint16_t*, int) { return 0; }
int QVNewFileSetDatasetString(QVNewFileHandle, uint16_t, uint16_t, const char*) { return 0; }
int QVNewFileSetDatasetUint8(QVNewFileHandle, uint16_t, uint16_t, const uint8_t*, int) { return 0; }
int QVNewFileRemoveDatasetTag(QVNewFileHandle, uint16_t, uint16_t) { return 0; }
int QVNewFileNewSeriesUID(QVNewFileHandle, const char*, int) { return 0; }
char* QVNewFileAddToViewer(QVNewFileHandle) { return nullptr; }
void QVDestroyNewFile(QVNewFileHandle) {}
