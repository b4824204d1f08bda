// SPDX-License-Identifier: Zlib
// The "cook_texture" command: a .png, .jpg, .jpeg or .tga becomes
// "<stem>.ktx2", a KTX 2.0 texture with its mip chain in a GPU format
// (sdk/include/tov_texture.h). The decoders and encoders live in
// image_cook.x86_64, loaded here, when a texture step runs.
#include "cook_texture.h"

#include "engine_module.h"
#include "texture_cook.h"

u32 cook_texture(CommandContext* context) {
  if (context->input_count < 1 || context->input_count > 3 || context->output_count != 1)
    sys_exit(-1, "'cook_texture' expects an image, its settings files if any, and one output");
  const CommandInput* input = context->inputs;
  SettingsFile settings[2];
  TextureCookRequest request = {input->path, input->data.data, input->data.count, settings,
                                engine_module_settings_files(context, settings, 2)};
  TextureCookResult result;
  auto cook = (ImageCookTexture)engine_module_cook_function("image_cook", "image_cook_texture");
  auto release = (ImageCookRelease)engine_module_cook_function("image_cook", "image_cook_release");
  if (!cook(&request, &result))
    sys_exit(-1, "%sERROR: Couldn't cook texture '%s'",
             result.messages.count ? result.messages.data : "", input->path);
  if (filesystem_file_write(context->outputs[0].file, result.ktx2.data, result.ktx2.count) !=
      result.ktx2.count)
    sys_exit(-1, "ERROR: Couldn't write '%s' (is the disk full?)", context->outputs[0].path);
  release(&result);
  return 0;
}
