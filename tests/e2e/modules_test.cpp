// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <vector>

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
  } files[] = {{"t/a.bmp", TOV_TYPE_IMAGE},   {"t/b.dds", TOV_TYPE_IMAGE},
               {"s/c.mp3", TOV_TYPE_AUDIO},   {"s/d.opus", TOV_TYPE_AUDIO},
               {"f/f.woff2", TOV_TYPE_FONT},  {"r/g.frag.spv", TOV_TYPE_RENDER},
               {"r/h.hlsl", TOV_TYPE_RENDER}, {"e/i.toml", TOV_TYPE_ENTITY},
               {"e/j.json", TOV_TYPE_ENTITY}, {"g/k.csv", TOV_TYPE_GAME},
               {"g/l.txt", TOV_TYPE_GAME}};
  for (const File& file : files) tree.write(std::string("assets/") + file.name, "{ \"x\" : 1 }");
  // A shader stage is compiled: its source is a real one.
  run_shell("mv assets/r/g.frag.spv assets/r/g.frag", tree.root());
  tree.write("assets/r/g.frag", kFragment);
  ProcessResult generated = tree.generate(
      "e2e_modules.tov",
      {"--tov-dir", "assets/", "--tov-rule-file", "rules/entity.ninja", "rules/render.ninja"});
  ASSERT_EQ(generated.status, 0) << generated.out << generated.err;
  EXPECT_EQ(generated.out.find("FAILED"), std::string::npos) << generated.out;
  ProcessResult built = tree.ninja();
  ASSERT_EQ(built.status, 0) << built.out;
  EXPECT_EQ(read_file(tree.path("out/i/e/j.json")), "{\"x\":1}");  // minified
  OpenedArchive archive(E2eTree::archive_path("e2e_modules.tov"));
  for (const File& file : files) EXPECT_EQ(archive.file(file.name).type, file.type) << file.name;
}

TEST(E2eModules, BadJsonFailsWithItsPositionAndWritesNothing) {
  E2eTree tree;
  tree.write("assets/bad.json", "{\n  \"hp\": 10,,\n}");
  ASSERT_EQ(tree.generate("e2e_json.tov",
                          {"--tov-dir", "assets/", "--tov-rule-file", "rules/entity.ninja"})
                .status,
            0);
  ProcessResult built = tree.ninja();
  EXPECT_NE(built.status, 0);
  EXPECT_NE(
      built.out.find("ERROR: " + tree.path("assets/bad.json") + ":2:12: expected a member name\n"),
      std::string::npos)
      << built.out;
  EXPECT_EQ(filesystem_get_attr(tree.path("out/i/bad.json").c_str()), 0u);
}

// Shaders, textures, a font, sounds and meshes cook in one tree. Includes (beside a shader
// and from the SDK) and settings files (a folder's and a file's own) are
// inputs of exactly the steps they cover, and are never packed. Broken
// sources and settings fail naming file and line and keep the last good
// output.
TEST(E2eModules, CookedAssetsFollowTheirSourcesIncludesAndSettings) {
  E2eTree tree;
  const std::string examples = source_dir() + "examples/assets/";
  std::string copy = "mkdir -p assets/ui && cd assets && cp";
  for (const char* name : {"leaf.png", "rock.jpg", "rock_n.png", "mask.tga"})
    copy += " " + shell_quote(examples + "textures/" + name);
  copy += " . && cp " + shell_quote(examples + "textures/leaf.png") + " ui/exit_normal.png";
  copy += " && cp " + shell_quote(examples + "fonts/dejavu_sans_extralight.ttf") + " ui/body.ttf";
  copy += " && mkdir sfx && cp " + shell_quote(examples + "sounds/chime.flac") + " " +
          shell_quote(examples + "sounds/ui/click.wav") + " sfx/";
  copy += " && mkdir props && cp " + shell_quote(examples + "models/rock.glb") + " " +
          shell_quote(examples + "models/crate.obj") + " props/";
  ASSERT_EQ(run_shell(copy, tree.root()).status, 0);
  tree.write("assets/rock.jpg.toml", "format = \"astc\"\nastc_block = \"4x4\"\n");
  tree.write("assets/.texture.toml", "mips = 3\nformat = \"rgba8\"\n");
  // An image with an alpha channel, all of it opaque: 8x8, 32-bit TGA.
  std::string opaque("\0\0\2\0\0\0\0\0\0\0\0\0\x08\0\x08\0\x20\x28", 18);
  for (int i = 0; i < 64; ++i) opaque += std::string{(char)(i * 4), 'P', (char)(255 - i), '\xff'};
  tree.write("assets/ui/opaque.tga", opaque);
  tree.write("assets/ui/.font.toml", "size = 24\ncharacters = [\"0123456789\", \"48-57\"]\n");
  tree.write("assets/fx/common.glsl", "const float k = 0.5;\n");
  tree.write("assets/fx/tone.frag",
             "#version 450\n#include \"common.glsl\"\n#include <tov_color.glsl>\n"
             "layout(location = 0) out vec4 color;\n"
             "void main() { color = vec4(tov_linear_to_srgb(vec3(k * SCALE)), 1.0); }\n");
  tree.write("assets/fx/tone.frag.toml", "optimize = \"none\"\n[defines]\nSCALE = 2\n");
  tree.write("assets/sfx/click.wav.toml", "mode = \"pcm\"\n");
  tree.write("assets/sfx/.audio.toml", "bitrate = 48\n");
  tree.write("assets/props/.mesh.toml", "lod_count = 2\n");
  tree.write("assets/props/crate.obj.toml", "quantize = true\n");
  tree.write("assets/plain.vert", "#version 450\nvoid main() { gl_Position = vec4(0.0); }\n");
  ProcessResult built =
      tree.build("e2e_cooked.tov", {"--tov-dir", "assets/", "--tov-rule-file", "rules/render.ninja",
                                    "rules/image.ninja", "rules/font.ninja", "rules/audio.ninja",
                                    "rules/model.ninja"});
  ASSERT_EQ(built.status, 0);
  struct Texture {
    const char* name;
    u32 vk_format, width, height, levels;
  } textures[] = {{"leaf.ktx2", TOV_VK_R8G8B8A8_SRGB, 128, 64, 3},        // the folder's settings
                  {"rock.ktx2", TOV_VK_ASTC_4x4_UNORM + 1, 128, 128, 3},  // and its own
                  {"rock_n.ktx2", TOV_VK_R8G8B8A8_UNORM, 128, 128, 3},
                  {"mask.ktx2", TOV_VK_R8G8B8A8_UNORM, 64, 64, 3},
                  // Named like a normal map, a button in its normal state is colour.
                  {"ui/exit_normal.ktx2", TOV_VK_BC3_SRGB, 128, 64, 8},
                  {"ui/opaque.ktx2", TOV_VK_BC1_RGB_SRGB, 8, 8, 4}};
  {
    OpenedArchive archive(E2eTree::archive_path("e2e_cooked.tov"));
    // Six textures, a font, two sounds, two meshes, two shaders, the
    // include and all.fileinfo.
    EXPECT_EQ(archive.files(0).size(), 15u);
    for (const Texture& e : textures) {
      TovFileInfo info = archive.file(e.name);
      TovTexture texture;
      ASSERT_TRUE(tov_texture_view(info.data, info.size, &texture)) << e.name;
      EXPECT_EQ(texture.vk_format, e.vk_format) << e.name;
      EXPECT_EQ(texture.width, e.width) << e.name;
      EXPECT_EQ(texture.height, e.height) << e.name;
      EXPECT_EQ(texture.level_count, e.levels) << e.name;
    }
    TovFileInfo info = archive.file("ui/body.font");
    TovFont font;
    ASSERT_TRUE(tov_font_view(info.data, info.size, &font));
    EXPECT_EQ(font.pixel_size, 24u);
    EXPECT_EQ(font.glyph_count, 10u);  // the digits, named twice
    struct Sound {
      const char* name;
      u32 codec, channels, rate;
      u64 frames;
    } sounds[] = {{"sfx/chime.opus", TOV_SOUND_OPUS, 2, 48000, 48000},
                  {"sfx/click.opus", TOV_SOUND_PCM16, 1, 8000, 400}};
    for (const Sound& e : sounds) {
      info = archive.file(e.name);
      TovSound sound;
      ASSERT_TRUE(tov_sound_view(info.data, info.size, &sound)) << e.name;
      EXPECT_EQ(sound.codec, e.codec) << e.name;
      EXPECT_EQ(sound.channels, e.channels) << e.name;
      EXPECT_EQ(sound.sample_rate, e.rate) << e.name;
      EXPECT_EQ(sound.frame_count, e.frames) << e.name;
    }
    struct Mesh {
      const char* name;
      u32 stride, levels, triangles;
    } meshes[] = {{"props/rock.mesh", 32, 2, 1280}, {"props/crate.mesh", 12, 1, 12}};
    for (const Mesh& e : meshes) {
      info = archive.file(e.name);
      TovMesh mesh;
      ASSERT_TRUE(tov_mesh_view(info.data, info.size, &mesh)) << e.name;
      EXPECT_EQ(mesh.vertex_stride, e.stride) << e.name;
      EXPECT_EQ(mesh.lod_count, e.levels) << e.name;
      EXPECT_EQ(mesh.lods[0].index_count, e.triangles * 3) << e.name;
    }
    info = archive.file("fx/tone.frag.spv");
    EXPECT_EQ(std::string((const char*)info.data, 4), std::string("\x03\x02\x23\x07", 4));
    EXPECT_EQ(archive.file("plain.vert.spv").type, TOV_TYPE_RENDER);
  }
  EXPECT_NE(tree.ninja("-n").out.find("no work to do"), std::string::npos);

  // Each change is made in turn; the outputs (under out/i/) listed as kept
  // keep their bytes, and a step that fails keeps its output.
  struct Change {
    const char* path;
    std::string content;
    std::vector<std::string> rebuilt, kept;
    std::string error;  // after the changed file's path
  } changes[] = {
      {"fx/common.glsl", "const float k = 0.25;\n", {"fx/tone.frag.spv"}, {"plain.vert.spv"}, ""},
      {"fx/tone.frag.toml", "[defines]\nSCALE = 3\n", {"fx/tone.frag.spv"}, {"plain.vert.spv"}, ""},
      {"rock.jpg.toml", "format = \"bc1\"\n", {"rock.ktx2"}, {"leaf.ktx2", "mask.ktx2"}, ""},
      {".texture.toml",
       "mips = 2\n",
       {"rock.ktx2", "leaf.ktx2", "rock_n.ktx2", "mask.ktx2"},
       {"ui/exit_normal.ktx2", "ui/body.font"},
       ""},
      {"props/.mesh.toml",
       "lod_count = 4\n",
       {"props/rock.mesh", "props/crate.mesh"},
       {"sfx/chime.opus"},
       ""},
      {"fx/tone.frag.toml",
       "optimise = \"size\"\n",
       {},
       {"fx/tone.frag.spv"},
       ":1: unknown setting 'optimise'"},
      {"fx/tone.frag.toml", "[defines]\nSCALE = 4\n", {"fx/tone.frag.spv"}, {}, ""},
      {"fx/tone.frag",
       "#version 450\nvoid main() {\n  vec4 x = nothing;\n}\n",
       {},
       {"fx/tone.frag.spv"},
       ":3: error: 'nothing' : undeclared identifier"},
      {"ui/exit_normal.png", "not a png", {}, {"ui/exit_normal.ktx2"}, ": cannot be decoded: "},
      {"props/rock.glb", "glTF, but cut", {}, {"props/rock.mesh"}, ": cannot be imported: "},
  };
  long seconds = 0;
  for (const Change& c : changes) {
    SCOPED_TRACE(c.path);
    std::string path = std::string("assets/") + c.path;
    std::vector<std::string> kept_bytes;
    for (const std::string& name : c.kept)
      kept_bytes.push_back(read_file(tree.path("out/i/" + name)));
    tree.write(path, c.content);
    tree.age(path, seconds += 5);
    ProcessResult result = tree.ninja("-k 0");
    EXPECT_EQ(result.status != 0, !c.error.empty()) << result.out;
    if (!c.error.empty()) {
      EXPECT_NE(result.out.find(tree.path(path) + c.error), std::string::npos) << result.out;
    }
    for (const std::string& name : c.rebuilt)
      EXPECT_NE(result.out.find("'" + tree.path("out/i/" + name) + "'"), std::string::npos)
          << name << result.out;
    for (u32 i = 0; i < c.kept.size(); ++i)
      EXPECT_EQ(read_file(tree.path("out/i/" + c.kept[i])), kept_bytes[i]) << c.kept[i];
  }
}
