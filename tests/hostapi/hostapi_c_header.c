/* Compiled as C: the declarations must not need a C++ compiler. */
#include "QVPluginApi.h"

#include <stdio.h>

int main(void) {
    WindowLevelRecord record;
    QVRoutedCommand command = {5000, QV_CN_COMMAND, 0};
    QVPluginInitializeFn init = 0;
    (void)init;
    record.size = (int32_t)sizeof record;
    if (record.size != 1056 || command.command != 5000 || QV_MSG_IDLE != 0x8008) {
        printf("unexpected layout\n");
        return 1;
    }
    printf("ok\n");
    return 0;
}
