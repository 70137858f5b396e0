#pragma once

// The pages, style sheet, scripts and images of the program's dialogs, compiled into the program.

#include <optional>
#include <string_view>

namespace plovik {

// The resource of that file name (as it stands in src/app/res), or nothing.
std::optional<std::string_view> findResource(std::string_view name);

// The dialog pages by the resource numbers the dialogs have always had.
inline constexpr std::string_view kWizardPage = "wizard.html";               // 104
inline constexpr std::string_view kAboutPage = "about.html";                 // 105
inline constexpr std::string_view kDonePage = "done.html";                   // 117
inline constexpr std::string_view kTemplatePreviewPage = "tplpreview.html";  // 131
inline constexpr std::string_view kWindowIcon = "plovik.png";                // 128

}  // namespace plovik
