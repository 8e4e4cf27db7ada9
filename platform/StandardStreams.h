// The process's standard input and output as byte streams.
#pragma once

namespace zyq::platform {

// Makes standard input and output carry bytes unchanged from here on: no line-end translation
// (CR LF for LF) and no end of input at a ^Z byte. A program that frames binary data on them
// (the native messaging host) calls it once at its start, before anything is read or written.
// Nothing to do on POSIX, where the streams are bytes already.
void UseBinaryStandardStreams();

}  // namespace zyq::platform
