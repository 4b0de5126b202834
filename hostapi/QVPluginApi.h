/*
 * The interface every plug-in library exports, the types a host resolves
 * by name, and the records of the host-to-window messages. Plain C.
 */
#ifndef QV_PLUGIN_API_H
#define QV_PLUGIN_API_H

#include "QVHostApi.h"

#define QV_PLUGIN_EXPORT QV_EXTERN_C __attribute__((visibility("default")))

/* Host-to-window messages. */
enum {
    QV_WM_APP = 0x8000,
    QV_MSG_COMMAND = QV_WM_APP + 0,       /* routed command */
    QV_MSG_GET_WINDOW_LEVEL = QV_WM_APP + 1,
    QV_MSG_SET_WINDOW_LEVEL = QV_WM_APP + 2, /* on the global window: feature query */
    QV_MSG_DROP_PANEL = QV_WM_APP + 3,
    QV_MSG_GET_STATE = QV_WM_APP + 4,
    QV_MSG_OPEN_IN_VIEW = QV_WM_APP + 5,
    QV_MSG_PEER_DATA = QV_WM_APP + 6,
    QV_MSG_IDLE = QV_WM_APP + 8,
    /* A file dropped on the window: wParam is its path (UTF-8, NUL-ended).
       Answers 1 when the window takes the file (the host then does not open
       it as images), 0 to leave it to the host. */
    QV_MSG_DROP_FILE = QV_WM_APP + 9
};

/* Notification codes of a routed command. */
enum {
    QV_CN_COMMAND = 0,           /* carry the command out */
    QV_CN_UPDATE_COMMAND_UI = -1 /* report its state into a QVCommandState */
};

/* wParam of QV_MSG_COMMAND. Bit 0 of flags is set when the command was handled. */
typedef struct QVRoutedCommand {
    int32_t command;
    int32_t code;
    int32_t flags;
} QVRoutedCommand;

/* lParam of QV_MSG_COMMAND: the extra pointer (a QVCommandState for
   QV_CN_UPDATE_COMMAND_UI, else null) and the handler-information pointer. */
typedef struct QVCommandPointers {
    void* extra;
    void* handlerInfo;
} QVCommandPointers;

/* What an update query fills in; the host sets the defaults first. */
typedef struct QVCommandState {
    int32_t enabled;
    int32_t checked;
} QVCommandState;

/* A native message record as handed to QVPluginMFCPreTranslateMessage. */
typedef struct QVNativeMessage {
    QVWindowHandle window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
} QVNativeMessage;

/* Exports. */
QV_PLUGIN_EXPORT void QVPluginInitialize(void);
QV_PLUGIN_EXPORT const char* QVPluginGetUniquePluginID(void);
QV_PLUGIN_EXPORT const char* QVPluginGetHumanName(void);
QV_PLUGIN_EXPORT QVWindowHandle QVPluginGetGlobalMessageWindow(void);
QV_PLUGIN_EXPORT QVWindowHandle QVPluginCreatePluginWindow(void* unused, QVWindowHandle cell);
QV_PLUGIN_EXPORT QVWindowHandle QVPluginCreatePluginWindowState(const char* stateText, QVWindowHandle cell);
QV_PLUGIN_EXPORT void QVPluginDelete(void);
QV_PLUGIN_EXPORT void QVPluginFree(void* block);
QV_PLUGIN_EXPORT int QVPluginMFCOnIdle(void);
QV_PLUGIN_EXPORT int QVPluginMFCPreTranslateMessage(QVNativeMessage* message);
QV_PLUGIN_EXPORT int QVPluginMFCDialogModal(void* dialog);
QV_PLUGIN_EXPORT int QVPluginMFCCancelDialogModal(void* dialog);

/* Function-pointer types a host resolves by the names above. */
typedef void (*QVPluginInitializeFn)(void);
typedef const char* (*QVPluginGetUniquePluginIDFn)(void);
typedef const char* (*QVPluginGetHumanNameFn)(void);
typedef QVWindowHandle (*QVPluginGetGlobalMessageWindowFn)(void);
typedef QVWindowHandle (*QVPluginCreatePluginWindowFn)(void*, QVWindowHandle);
typedef QVWindowHandle (*QVPluginCreatePluginWindowStateFn)(const char*, QVWindowHandle);
typedef void (*QVPluginDeleteFn)(void);
typedef void (*QVPluginFreeFn)(void*);
typedef int (*QVPluginMFCOnIdleFn)(void);
typedef int (*QVPluginMFCPreTranslateMessageFn)(QVNativeMessage*);
typedef int (*QVPluginMFCDialogModalFn)(void*);
typedef int (*QVPluginMFCCancelDialogModalFn)(void*);

#endif /* QV_PLUGIN_API_H */
