#pragma once
// The lines and controls of one card as the back-ends present them, and the queries over them:
// built by each back-end (from ALSA's elements, or from a table) and asked by the same rules.
//
// Identifiers: destination d is line d; source s (counted from 0) of destination d is line
// (s + 1) × 65536 + d, so no source shares its identifier with a destination; a control's
// identifier is its index. Lines are kept destinations first, then each destination's sources,
// which is the order the query by component type searches. Values are not kept here.

#include <cstdint>
#include <string>
#include <vector>

#include "mixer/mixerops.h"

namespace zq {

class TMixerCard {
 public:
  struct Control {
    TMMControlRecord info;
    int lineId = -1;
    std::vector<TMMListTextRecord> items;  // one per item of a list control
  };

  // Every destination is added before any source.
  int AddDestination(std::uint32_t componentType, const std::string& name, int channels,
                     const TMMLineTargetRecord& target = {});
  int AddSource(int destination, std::uint32_t componentType, const std::string& name, int channels,
                const TMMLineTargetRecord& target = {});
  // `items` names the lines a list control selects (their identifiers); empty otherwise.
  int AddControl(int lineId, std::uint32_t type, std::uint32_t flags, const std::string& name,
                 std::int64_t minimum, std::int64_t maximum, std::uint32_t steps,
                 const std::vector<int>& items = {});

  int Destinations() const { return destinations_; }
  const std::vector<TMMLineRecord>& Lines() const { return lines_; }
  const std::vector<Control>& Controls() const { return controls_; }
  const TMMLineRecord* FindLine(int lineId) const;
  const Control* FindControl(int controlId) const;

  int LineById(int lineId, TMMLineRecord& line) const;
  int LineByComponentType(std::uint32_t type, TMMLineRecord& line) const;
  int LineByTarget(const TMMLineTargetRecord& target, TMMLineRecord& line) const;
  int LineBySource(int destination, int source, TMMLineRecord& line) const;
  int ControlById(int controlId, int& lineId, TMMControlRecord& control) const;
  int ControlByType(int lineId, std::uint32_t type, TMMControlRecord& control) const;
  int ListText(int controlId, int channels, int items, std::vector<TMMListTextRecord>& texts) const;
  // Checks the shape of a details call: the number of values it moves in `count`.
  int CheckDetails(int controlId, int channels, int items, std::size_t& count) const;

 private:
  TMMLineRecord* MutableLine(int lineId);

  std::vector<TMMLineRecord> lines_;
  std::vector<Control> controls_;
  int destinations_ = 0;
};

}  // namespace zq
