#pragma once
#include "framework/CHandleOwner.h"
#include <string>
// The stand-in's control link: when the environment names a port in TESSALY_OPAL_CONTROL_PORT, the
// library connects to it on 127.0.0.1 at its first class object and greets with "HELLO <pid>". The
// test at the other end sends lines (LF-terminated, UTF-8), one answer each:
//   JOURNAL                    every journal entry as "J <entry>", then "OK <count>"
//   COUNTS                     "OK objects=<n> sites=<n> sinks=<n> factories=<n>"
//   FIRE <dispid> [args]       the newest control fires the event from its window: "OK", or
//                              "ERR no control"; args are words or "quoted texts" with \ escapes
//   MODE <words>               see CSoftphoneJournal::SetMode: "OK" or "ERR unknown mode"
// The link ends when the test closes it; its thread holds the library until then.
class CSoftphoneControlLink
{
public:
    static void StartOnce();

private:
    static DWORD WINAPI Run(LPVOID pParam);
    static std::string Answer(const std::string& line);
};
