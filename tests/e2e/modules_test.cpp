// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "e2e_tree.h"
#include "tov/tov_archive.h"
#include "tov/tov_build.h"
#include "tov_texture.h"

namespace {

const char kFragment[] =
    "#version 450\nlayout(location = 0) out vec4 color;\nvoid main() { color = vec4(1.0); }\n";

}  // namespace

TEST(E2eModules, EveryModuleFilePacksWithItsModulesType) {
  E2eTree tree;
  struct File {
    const char* name;
    u16 type;
  } files[] = {{"t/a.bmp", TOV_TYPE_IMAGE},  {"t/b.dds", TOV_TYPE_IMAGE},
               {"s/c.wav", TOV_TYPE_AUDIO},  {"s/d.ogg", TOV_TYPE_AUDIO},
               {"m/e.obj", TOV_TYPE_MODEL},  {"f/f.woff2", TOV_TYPE_FONT},
               {"r/g.frag.spv", TOV_TYPE_RENDER}, {"r/h.hlsl", TOV_TYPE_RENDER},
               {"e/i.toml", TOV_TYPE_ENTITY}, {"e/j.json", TOV_TYPE_ENTITY},
               {"g/k.csv", TOV_TYPE_GAME},   {"g/l.txt", TOV_TYPE_GAME}};
  for (const File& file : files) tree.write(std::string("assets/") + file.name, "{ \"x\" : 1 }");
  // A shader stage is compiled: its source is a real one.
  run_shell("mv assets/r/g.frag.spv assets/r/g.frag", tree.root());
  tree.write("assets/r/g.frag", kFragment);
  ProcessResult generated =
      tree.generate("e2e_modules.tov", {"--tov-dir", "assets/", "--tov-rule-file",
                                        "rules/entity.ninja", "rules/render.ninja"});
  ASSERT_EQ(generated.status, 0) << generated.out << generated.err;
  EXPECT_EQ(generated.out.find("FAILED"), std::string::npos) << generated.out;
  ProcessResult built = tree.ninja();
  ASSERT_EQ(built.status, 0) << built.out;
  EXPECT_EQ(read_file(tree.path("out/i/e/j.json")), "{\"x\":1}");  // minified
  std::string path = E2eTree::archive_path("e2e_modules.tov");
  {
    OpenedArchive archive(path);
    for (const File& file : files) EXPECT_EQ(archive.file(file.name).type, file.type) << file.name;
    for (u16 type = TOV_TYPE_RENDER; type <= TOV_TYPE_GAME; ++type) {
      std::vector<TovFileInfo> listed = archive.files(type);
      u64 expected = 0;
      for (const File& file : files) expected += file.type == type;
      EXPECT_EQ(listed.size(), expected) << type;
      for (const TovFileInfo& info : listed) EXPECT_EQ(info.type, type);
    }
  }
  remove(path.c_str());
}

TEST(E2eModules, BadJsonFailsWithItsPositionAndWritesNothing) {
  E2eTree tree;
  tree.write("assets/bad.json", "{\n  \"hp\": 10,,\n}");
  ASSERT_EQ(tree.generate("e2e_json.tov", {"--tov-dir", "assets/", "--tov-rule-file",
                                           "rules/entity.ninja"})
                .status,
            0);
  ProcessResult built = tree.ninja();
  EXPECT_NE(built.status, 0);
  EXPECT_NE(built.out.find("ERROR: " + tree.path("assets/bad.json") +
                           ":2:12: expected a member name\n"),
            std::string::npos)
      << built.out;
  EXPECT_EQ(filesystem_get_attr(tree.path("out/i/bad.json").c_str()), 0u);
  ProcessResult direct = run_shell(shell_quote(host_path()) +
                                   " --tov-working-dir / --tov-sdk-dir / --tov-intermediate-dir i "
                                   "--tov-command minify_json --tov-command-in-file bad.json "
                                   "--tov-command-out-file out.json",
                                   tree.path("assets"));
  EXPECT_EQ(direct.status, 255);
  EXPECT_EQ(direct.err, "ERROR: bad.json:2:12: expected a member name\n");
  EXPECT_EQ(filesystem_get_attr(tree.path("assets/out.json").c_str()), 0u);
}

// A stage compiles to SPIR-V with its includes (beside it and from the
// SDK) in its depfile and its settings file as an input: changing either
// rebuilds it, nothing else does; the settings file is not packed. A
// broken shader or setting fails naming its file and line, and leaves the
// last good output.
TEST(E2eModules, ShadersCompileAndFollowTheirIncludes) {
  E2eTree tree;
  tree.write("assets/fx/common.glsl", "const float k = 0.5;\n");
  tree.write("assets/fx/tone.frag",
             "#version 450\n#include \"common.glsl\"\n#include <tov_color.glsl>\n"
             "layout(location = 0) out vec4 color;\n"
             "void main() { color = vec4(tov_linear_to_srgb(vec3(k * SCALE)), 1.0); }\n");
  tree.write("assets/fx/tone.frag.toml", "optimize = \"none\"\n[defines]\nSCALE = 2\n");
  tree.write("assets/plain.vert", "#version 450\nvoid main() { gl_Position = vec4(0.0); }\n");
  ASSERT_EQ(tree.generate("e2e_shaders.tov", {"--tov-dir", "assets/", "--tov-rule-file",
                                              "rules/render.ninja"})
                .status,
            0);
  ProcessResult built = tree.ninja();
  ASSERT_EQ(built.status, 0) << built.out;
  std::string spirv = read_file(tree.path("out/i/fx/tone.frag.spv"));
  ASSERT_GE(spirv.size(), 20u);
  EXPECT_EQ(spirv.substr(0, 4), std::string("\x03\x02\x23\x07", 4));  // the SPIR-V magic
  {
    OpenedArchive archive(E2eTree::archive_path("e2e_shaders.tov"));
    EXPECT_EQ(archive.file("fx/tone.frag.spv").type, TOV_TYPE_RENDER);
    EXPECT_EQ(archive.file("plain.vert.spv").type, TOV_TYPE_RENDER);
    EXPECT_EQ(archive.files(0).size(), 4u);  // and all.fileinfo, common.glsl: no settings
  }
  EXPECT_NE(tree.ninja("-n").out.find("no work to do"), std::string::npos);
  tree.write("assets/fx/common.glsl", "const float k = 0.25;\n");
  tree.age("assets/fx/common.glsl", 5);
  ProcessResult again = tree.ninja();
  EXPECT_NE(again.out.find("SHADER '" + tree.path("out/i/fx/tone.frag.spv")), std::string::npos)
      << again.out;
  EXPECT_EQ(again.out.find("plain.vert.spv"), std::string::npos) << again.out;
  std::string rebuilt = read_file(tree.path("out/i/fx/tone.frag.spv"));
  EXPECT_NE(rebuilt, spirv);
  tree.write("assets/fx/tone.frag.toml", "optimize = \"none\"\n[defines]\nSCALE = 3\n");
  tree.age("assets/fx/tone.frag.toml", 5);
  again = tree.ninja();
  EXPECT_NE(again.out.find("SHADER '" + tree.path("out/i/fx/tone.frag.spv")), std::string::npos)
      << again.out;
  EXPECT_EQ(again.out.find("plain.vert.spv"), std::string::npos) << again.out;
  EXPECT_NE(read_file(tree.path("out/i/fx/tone.frag.spv")), rebuilt);
  rebuilt = read_file(tree.path("out/i/fx/tone.frag.spv"));

  tree.write("assets/fx/tone.frag.toml", "optimize = \"none\"\noptimise = \"size\"\n");
  tree.age("assets/fx/tone.frag.toml", 10);
  ProcessResult misspelt = tree.ninja();
  EXPECT_NE(misspelt.status, 0);
  EXPECT_NE(misspelt.out.find(tree.path("assets/fx/tone.frag.toml") +
                              ":2: unknown setting 'optimise'"),
            std::string::npos)
      << misspelt.out;
  EXPECT_EQ(read_file(tree.path("out/i/fx/tone.frag.spv")), rebuilt);
  tree.write("assets/fx/tone.frag.toml", "");
  tree.age("assets/fx/tone.frag.toml", 15);

  tree.write("assets/fx/tone.frag", "#version 450\nvoid main() {\n  vec4 x = nothing;\n}\n");
  tree.age("assets/fx/tone.frag", 20);
  ProcessResult broken = tree.ninja();
  EXPECT_NE(broken.status, 0);
  EXPECT_NE(broken.out.find(tree.path("assets/fx/tone.frag") +
                            ":3: error: 'nothing' : undeclared identifier"),
            std::string::npos)
      << broken.out;
  EXPECT_NE(broken.out.find("ERROR: Couldn't compile shader '" + tree.path("assets/fx/tone.frag")),
            std::string::npos);
  EXPECT_EQ(read_file(tree.path("out/i/fx/tone.frag.spv")), rebuilt);  // the last good one
  remove(E2eTree::archive_path("e2e_shaders.tov").c_str());
}

// Images cook into textures with the formats their content calls for, or
// their settings name; a settings change re-cooks that texture only, and an
// image that does not decode fails naming its file.
TEST(E2eModules, TexturesCookIntoKtx2) {
  E2eTree tree;
  const std::string textures = source_dir() + "examples/assets/textures/";
  ASSERT_EQ(run_shell("mkdir -p assets && cp " + shell_quote(textures + "leaf.png") + " " +
                          shell_quote(textures + "rock.jpg") + " " +
                          shell_quote(textures + "rock_n.png") + " " +
                          shell_quote(textures + "mask.tga") + " assets/ && mkdir assets/ui && cp " +
                          shell_quote(textures + "leaf.png") + " assets/ui/exit_normal.png",
                      tree.root())
                .status,
            0);
  tree.write("assets/rock.jpg.toml", "format = \"astc\"\nastc_block = \"4x4\"\n");
  // The folder's file applies to every texture there; a texture's own wins.
  tree.write("assets/.texture.toml", "mips = 3\nformat = \"rgba8\"\n");
  ASSERT_EQ(tree.generate("e2e_textures.tov", {"--tov-dir", "assets/", "--tov-rule-file",
                                               "rules/image.ninja"})
                .status,
            0);
  ProcessResult built = tree.ninja();
  ASSERT_EQ(built.status, 0) << built.out;
  struct Expected {
    const char* name;
    u32 vk_format, width, height, levels;
  } expected[] = {{"leaf.ktx2", TOV_VK_R8G8B8A8_SRGB, 128, 64, 3},
                  {"rock.ktx2", TOV_VK_ASTC_4x4_UNORM + 1, 128, 128, 3},
                  {"rock_n.ktx2", TOV_VK_R8G8B8A8_UNORM, 128, 128, 3},
                  {"mask.ktx2", TOV_VK_R8G8B8A8_UNORM, 64, 64, 3},
                  // Named like a normal map, a button in its normal state is colour.
                  {"ui/exit_normal.ktx2", TOV_VK_BC3_SRGB, 128, 64, 8}};
  {
    OpenedArchive archive(E2eTree::archive_path("e2e_textures.tov"));
    EXPECT_EQ(archive.files(0).size(), 6u);  // and all.fileinfo: the settings are not packed
    for (const Expected& e : expected) {
      TovFileInfo info = archive.file(e.name);
      TovTexture texture;
      ASSERT_TRUE(tov_texture_view(info.data, info.size, &texture)) << e.name;
      EXPECT_EQ(texture.vk_format, e.vk_format) << e.name;
      EXPECT_EQ(texture.width, e.width) << e.name;
      EXPECT_EQ(texture.height, e.height) << e.name;
      EXPECT_EQ(texture.level_count, e.levels) << e.name;
    }
  }
  tree.write("assets/rock.jpg.toml", "format = \"bc1\"\n");
  tree.age("assets/rock.jpg.toml", 5);
  ProcessResult again = tree.ninja();
  EXPECT_NE(again.out.find("TEXTURE '" + tree.path("out/i/rock.ktx2")), std::string::npos)
      << again.out;
  EXPECT_EQ(again.out.find("leaf.ktx2"), std::string::npos) << again.out;
  EXPECT_EQ(again.out.find("mask.ktx2"), std::string::npos) << again.out;
  tree.write("assets/.texture.toml", "mips = 2\n");
  tree.age("assets/.texture.toml", 8);
  again = tree.ninja();
  for (const char* name : {"rock.ktx2", "leaf.ktx2", "rock_n.ktx2", "mask.ktx2"})
    EXPECT_NE(again.out.find(name), std::string::npos) << name << again.out;

  tree.write("assets/leaf.png", "not a png");
  tree.age("assets/leaf.png", 12);
  ProcessResult broken = tree.ninja();
  EXPECT_NE(broken.status, 0);
  EXPECT_NE(broken.out.find(tree.path("assets/leaf.png") + ": cannot be decoded: "),
            std::string::npos)
      << broken.out;
  remove(E2eTree::archive_path("e2e_textures.tov").c_str());
}

// A font cooks into an atlas through Ninja, with its folder's settings.
TEST(E2eModules, FontsCookIntoAtlases) {
  E2eTree tree;
  ASSERT_EQ(run_shell("mkdir -p assets/ui && cp " +
                          shell_quote(source_dir() +
                                      "examples/assets/fonts/dejavu_sans_extralight.ttf") +
                          " assets/ui/body.ttf",
                      tree.root())
                .status,
            0);
  tree.write("assets/ui/.font.toml", "size = 24\ncharacters = [\"0123456789\", \"48-57\"]\n");
  ASSERT_EQ(tree.generate("e2e_fonts.tov", {"--tov-dir", "assets/", "--tov-rule-file",
                                            "rules/font.ninja"})
                .status,
            0);
  ProcessResult built = tree.ninja();
  ASSERT_EQ(built.status, 0) << built.out;
  {
    OpenedArchive archive(E2eTree::archive_path("e2e_fonts.tov"));
    TovFileInfo info = archive.file("ui/body.font");
    TovFont font;
    ASSERT_TRUE(tov_font_view(info.data, info.size, &font));
    EXPECT_EQ(font.pixel_size, 24u);
    EXPECT_EQ(font.glyph_count, 10u);  // the digits, named twice
  }
  remove(E2eTree::archive_path("e2e_fonts.tov").c_str());
}

TEST(E2eModules, UnknownEndingStillFails) {
  E2eTree tree;
  tree.write("assets/x.psd", "layers");
  ProcessResult result = tree.generate("e2e_unknown.tov", {"--tov-dir", "assets/"});
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.err, "ERROR: No rules found that matches filename 'assets/x.psd', aborting...\n");
}
