/* The probe the scripts run to learn whether 32-bit Windows code runs on this
 * machine under Wine (scripts/lib/wine-loader.sh). Built as a 32-bit program;
 * it ends with 73 only when it really ran as one and reached kernel32, so no
 * failure of Wine's start (126 "Exec format error", 1 "ShellExecuteEx
 * failed") can pass for it. */
#include <windows.h>

int main(void)
{
    return sizeof(void *) == 4 && GetCurrentProcessId() != 0 ? 73 : 1;
}
