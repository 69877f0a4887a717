#include "second_output/output_choices.h"

namespace kivora {

OutputChoices SecondOutputChoices(const std::vector<audio::RenderEndpoint>& endpoints, const std::wstring& keptId,
                                  const std::wstring& keptName) {
  OutputChoices choices;
  choices.entries.push_back({L"", L"", std::wstring(kNoSecondOutput)});
  for (const audio::RenderEndpoint& endpoint : endpoints) {
    // The default device plays anyway; it is listed only when it is the one kept,
    // so that a kept device that became the default does not look missing.
    if (endpoint.isDefault && endpoint.id != keptId) continue;
    const std::wstring label = endpoint.name.empty() ? endpoint.id : endpoint.name;
    if (endpoint.id == keptId) choices.chosen = choices.entries.size();
    choices.entries.push_back({endpoint.id, endpoint.name, label});
  }
  if (!keptId.empty() && choices.chosen == 0) {
    choices.chosen = choices.entries.size();
    const std::wstring shown = keptName.empty() ? keptId : keptName;
    choices.entries.push_back({keptId, keptName, shown + L" " + std::wstring(kNotConnected)});
  }
  return choices;
}

}  // namespace kivora
