#pragma once
#include "platform/NamedLock.h"

// Every lock of the program, each name spelled once.
//
// Lock order (an outer lock is always taken before an inner one):
//   SYSINFOLOCK > FILELOCK > BSOLOCK > FREQUENCY > TGLOCK, RADIDLOCK
//   AFFLOG > AFFILIATE
//   PATCHLOCK > PATCHLOGLOCK
// Channel operations release FREQUENCY before they take GLLOCK. The system folder's save
// and loads also take NEIGHBOR and AFILTER inside FILELOCK; the folder-loaded hook takes
// the table locks and PATCHLOCK one at a time inside SYSINFOLOCK. No other nesting.
namespace Locks {

inline NamedLock& SYSINFOLOCK = NamedLock::Get("SYSINFOLOCK");
inline NamedLock& BSOLOCK = NamedLock::Get("BSOLOCK");
inline NamedLock& FREQUENCY = NamedLock::Get("FREQUENCY");
inline NamedLock& NEIGHBOR = NamedLock::Get("NEIGHBOR");
inline NamedLock& TGLOCK = NamedLock::Get("TGLOCK");
inline NamedLock& RADIDLOCK = NamedLock::Get("RADIDLOCK");
inline NamedLock& AFFILIATE = NamedLock::Get("AFFILIATE");
inline NamedLock& AFILTER = NamedLock::Get("AFILTER");
inline NamedLock& PATCHLOCK = NamedLock::Get("PATCHLOCK");
inline NamedLock& FILELOCK = NamedLock::Get("FILELOCK");

inline NamedLock& AFFLOG = NamedLock::Get("AFFLOG");
inline NamedLock& GLLOCK = NamedLock::Get("GLLOCK");
inline NamedLock& EVENTLOCK = NamedLock::Get("EVENTLOCK");
inline NamedLock& PATCHLOGLOCK = NamedLock::Get("PATCHLOGLOCK");
inline NamedLock& ALLPKTLOCK = NamedLock::Get("ALLPKTLOCK");
inline NamedLock& UNKNOWNLOCK = NamedLock::Get("UNKNOWNLOCK");

inline NamedLock& TSBKQUEUE = NamedLock::Get("TSBKQUEUE");
inline NamedLock& PSRRAW = NamedLock::Get("PSRRAW");

}
