#include "core/MenuStatus.h"

#include "core/ReaderStore.h"
#include "core/StoryStore.h"

MenuCounts MenuCounts::read(Statement& q) {
  MenuCounts counts;
  counts.stories = StoryStore(q).count();
  counts.readers = ReaderStore(q).count();
  return counts;
}
