// Stamps as the keyboard's FAT keeps them: whole even seconds.
#pragma once

#include <ctime>

namespace virdo::linuxfs {

// The kernel rounds a stamp down to FAT's two seconds. Rounding up instead
// keeps the copy at least as new as its source, so the next run does not
// see the package as newer and copy it again.
inline struct timespec FatStampRoundedUp(struct timespec t) {
  time_t s = t.tv_sec;
  if (s % 2 != 0) s += 1;
  else if (t.tv_nsec > 0) s += 2;
  return {s, 0};
}

}  // namespace virdo::linuxfs
