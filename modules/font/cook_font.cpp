// SPDX-License-Identifier: Zlib
// The "cook_font" command: a .ttf or .otf becomes "<stem>.font", a signed
// distance field atlas with metrics and kerning (sdk/include/tov_font.h).
// FreeType lives in font_cook.x86_64, loaded here, when a font step runs.
#include "cook_font.h"

#include "engine_module.h"
#include "font_cook.h"

u32 cook_font(CommandContext* context) {
  if (context->input_count < 1 || context->input_count > 3 || context->output_count != 1)
    sys_exit(-1, "'cook_font' expects a font, its settings files if any, and one output");
  const CommandInput* input = context->inputs;
  SettingsFile settings[2];
  FontCookRequest request = {input->path, input->data.data, input->data.count, settings,
                             engine_module_settings_files(context, settings, 2)};
  FontCookResult result;
  auto cook = (FontCookFont)engine_module_cook_function("font_cook", "font_cook_font");
  auto release = (FontCookRelease)engine_module_cook_function("font_cook", "font_cook_release");
  if (!cook(&request, &result))
    sys_exit(-1, "%sERROR: Couldn't cook font '%s'",
             result.messages.count ? result.messages.data : "", input->path);
  if (filesystem_file_write(context->outputs[0].file, result.font.data, result.font.count) !=
      result.font.count)
    sys_exit(-1, "ERROR: Couldn't write '%s' (is the disk full?)", context->outputs[0].path);
  release(&result);
  return 0;
}
