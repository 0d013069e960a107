#pragma once
#include <cstdint>
#include <vector>

#include "scan/catalogue.h"

// Which entries of a catalogue show an image that an earlier entry shows
// already. Two entries are equal when they have the same kind and the same
// record bytes (a cursor's include its hotspot), which is also what makes
// their exported files equal. A hash finds the candidates; the bytes decide.
//
// Reading the bytes is done once per fill; arranging the result for the
// catalogue's present order reads nothing, so a sort or a change of mind
// costs no file access. What stays between the two is three 32-bit numbers
// per entry, keyed by sequence number, which a sort does not change.
class DuplicateFold {
 public:
  // Reads every entry's bytes through the file services, one open for each
  // run of entries of one file in discovery order, and groups equal entries.
  // An entry whose bytes cannot be read stands alone. False, with the fold
  // empty, when memory is short. Shows every entry until Arrange.
  bool Read(const Catalogue& catalogue);

  // Shows the first entry of each set of equal ones in the catalogue's
  // present order and hides the rest. Entries the last Read did not see
  // are shown. False, with nothing shown, when memory is short.
  bool Arrange(const Catalogue& catalogue);

  // Forgets everything, for a new fill.
  void Clear();

  // Whether a Read has been made since the last Clear.
  bool ready() const { return ready_; }

  // The catalogue indices of the shown entries, ascending.
  const std::vector<int32_t>& shown() const { return shown_; }
  int32_t shownCount() const { return static_cast<int32_t>(shown_.size()); }
  int32_t hiddenCount() const { return arrangedCount_ - shownCount(); }
  // Entries whose bytes could not be read by the last Read.
  int32_t unreadableCount() const { return unreadable_; }

  // The position among the shown entries of entry index (an index into the
  // arranged catalogue), or of the shown entry equal to it when it is
  // hidden. 0 for an index outside the catalogue.
  int32_t PositionOf(const Catalogue& catalogue, int32_t index) const;

 private:
  // Rank of a sequence number among sequences_, or -1.
  int32_t RankOf(int32_t sequence) const;

  bool ready_ = false;
  // The sequence numbers of the entries read, ascending.
  std::vector<int32_t> sequences_;
  // For each rank, the rank of the first entry of its set (discovery order).
  std::vector<int32_t> setOf_;
  std::vector<int32_t> shown_;
  int32_t arrangedCount_ = 0;
  int32_t unreadable_ = 0;
};

// The entries the user sees, by position: every entry of the catalogue, or
// with a fold given, only its shown ones. Navigation, the Finder, the count
// and every command over "all entries" go through this.
struct ShownEntries {
  const Catalogue* catalogue;
  // nullptr while duplicates are not hidden.
  const DuplicateFold* fold;

  int32_t count() const;
  // The catalogue index at position (0 <= position < count()).
  int32_t Entry(int32_t position) const;
  // See DuplicateFold::PositionOf; the index itself without a fold.
  int32_t PositionOf(int32_t index) const;
  int32_t hiddenCount() const { return fold != nullptr ? fold->hiddenCount() : 0; }
};
