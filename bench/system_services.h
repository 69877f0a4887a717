// The real services Kivora runs with (message boxes, browser, open-file dialog, MCI),
// for benchmarks that drive the whole program in-process.
#pragma once

#include "app/app.h"
#include "app/shell_texts.h"
#include "audio/engine/mci_backend.h"
#include "custom/file_chooser.h"
#include "decor/web_opener.h"
#include "ui/user_prompts.h"

namespace kivora::bench {

struct SystemServices {
  ui::SystemPrompts prompts;
  ShellWebOpener web;
  SystemFileChooser chooser;
  audio::MciBackend backend;
  ExitCleanup exitCleanup;

  Services Get() { return {prompts, web, chooser, backend}; }
  ShellTexts& Shell() { return exitCleanup.Texts(); }
};

}  // namespace kivora::bench
