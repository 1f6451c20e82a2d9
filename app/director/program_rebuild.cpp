#include "app/director/program_rebuild.h"

#include "app/director/run_tool.h"
#include "shaders/pack/shader_pack.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace shaders;

namespace app {

// The build's context_buffer.hlsli, embedded when the director library is built.
extern const char kBuiltContextBufferHlsli[];

namespace {

namespace fs = std::filesystem;

bool readFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    bytes = s.str();
    return bool(in);
}

bool isProgramName(std::string_view name) {
    return !name.empty() &&
           name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_") ==
               std::string_view::npos &&
           shader_pack::stageRuleOf(name);
}

// The prerequisites of the make rule glslang writes (`TARGET: FILE FILE...`), a backslash escaping
// a space within a name or ending a continued line.
std::vector<std::string> prerequisites(const std::string& rule) {
    std::vector<std::string> words(1);
    for (size_t at = 0; at < rule.size(); ++at) {
        if (rule[at] == '\\' && at + 1 < rule.size() && (rule[at + 1] == ' ' || rule[at + 1] == '\n')) {
            if (rule[++at] == ' ') words.back() += ' ';
        } else if (rule[at] == ' ' || rule[at] == '\t' || rule[at] == '\n' || rule[at] == '\r') {
            if (!words.back().empty()) words.emplace_back();
        } else {
            words.back() += rule[at];
        }
    }
    if (words.back().empty()) words.pop_back();
    // The words up to the one that ends in ':' name the target.
    auto colon =
        std::find_if(words.begin(), words.end(), [](const std::string& w) { return w.ends_with(':'); });
    return colon == words.end() ? std::vector<std::string>{}
                                : std::vector<std::string>(colon + 1, words.end());
}

// The tool's output without the blank lines glslang ends with.
std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

} // namespace

ProgramBuilder::ProgramBuilder(std::string shaderFolder) : shaderFolder_(std::move(shaderFolder)) {
    std::error_code ec;
    if (!fs::is_directory(shaderFolder_, ec)) {
        unavailable_ = shaderFolder_ + " is not a folder";
        return;
    }
    for (auto [tool, path] : {std::pair{"glslangValidator", &glslang_}, std::pair{"spirv-val", &spirvVal_},
                              std::pair{"spirv-cross", &spirvCross_}}) {
        *path = findOnPath(tool);
        if (path->empty() && unavailable_.empty()) unavailable_ = std::string(tool) + " is not on PATH";
    }
    if (!unavailable_.empty()) return;
    const char* temporary = std::getenv("TMPDIR");
    std::string pattern =
        std::string(temporary && *temporary ? temporary : "/tmp") + "/mirelandt-director-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        unavailable_ = "cannot make a scratch folder " + pattern;
        return;
    }
    scratch_ = pattern;
    std::ofstream include(scratch_ + "/context_buffer.hlsli", std::ios::binary);
    include << kBuiltContextBufferHlsli;
    if (!include.flush()) unavailable_ = "cannot write into the scratch folder " + scratch_;
}

ProgramBuilder::~ProgramBuilder() {
    std::error_code ignored;
    if (!scratch_.empty()) fs::remove_all(scratch_, ignored);
}

bool ProgramBuilder::rebuild(std::string_view name, RebuiltProgram& program, std::string& error) const {
    if (!available()) {
        error = "rebuilding programs is not available: " + unavailable_;
        return false;
    }
    if (!isProgramName(name)) {
        error = std::string(name) + ": not a program name (letters, digits and _, ending in _vs, _ps or _cs)";
        return false;
    }
    const shader_build::StageRule& rule = *shader_pack::stageRuleOf(name);
    const std::string source = shaderFolder_ + "/" + std::string(name) + ".hlsl";
    const std::string spv = scratch_ + "/" + std::string(name) + ".spv";
    const std::string reflection = scratch_ + "/" + std::string(name) + ".json";
    const std::string dependencies = spv + ".d";
    if (!fs::is_regular_file(source)) {
        error = source + ": no such program";
        return false;
    }

    std::vector<std::string> compile(std::begin(shader_build::kGlslangOptions),
                                     std::end(shader_build::kGlslangOptions));
    compile.insert(compile.end(), {"-S", rule.glslangStage, "-e", rule.entry, "-I" + scratch_,
                                   "-I" + shaderFolder_, "--depfile", dependencies, "-o", spv, source});
    std::vector<std::string> validate(std::begin(shader_build::kSpirvValOptions),
                                      std::end(shader_build::kSpirvValOptions));
    validate.push_back(spv);
    const struct {
        const char* tool;
        const std::string& path;
        std::vector<std::string> arguments;
    } steps[] = {{"glslangValidator", glslang_, compile},
                 {"spirv-val", spirvVal_, validate},
                 {"spirv-cross", spirvCross_, {spv, "--reflect", "--output", reflection}}};
    for (const auto& step : steps) {
        const ToolRun run = runTool(step.path, step.arguments);
        if (run.exitCode != 0) {
            error = std::string(step.tool) + ": " + trimmed(run.output);
            return false;
        }
    }

    std::string spirvBytes, json, depfile;
    std::vector<uint32_t> spirv;
    if (!readFile(spv, spirvBytes) || !shader_pack::spirvWords(spirvBytes, spirv)) {
        error = "glslangValidator: " + spv + " is not SPIR-V";
        return false;
    }
    if (!readFile(dependencies, depfile) || (program.sources = prerequisites(depfile)).empty()) {
        error = "glslangValidator: " + dependencies + " lists no sources";
        return false;
    }
    if (!readFile(reflection, json) || !shader_pack::bindingsFromReflection(json, program.bindings, error)) {
        error = "spirv-cross: " + (error.empty() ? "cannot read " + reflection : error);
        return false;
    }
    program.stage = rule.stage;
    program.bytecode = shader_pack::packBytecode(rule.stage, program.bindings, spirv);
    return true;
}

} // namespace app
