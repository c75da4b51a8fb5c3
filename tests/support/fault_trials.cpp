#include "support/fault_trials.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "platform/file_error.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace qbank::testing {

tree snapshot_tree(const fs::path& given) {
#ifdef _WIN32
  // What the writers made below the tree may pass the 260 characters of a plain Windows path
  // (they use the long form, as any file name the system allows may be asked for), so the
  // tree is walked in the long form as well.
  std::wstring long_form = fs::absolute(given).wstring();
  std::replace(long_form.begin(), long_form.end(), L'/', L'\\');  // the long form takes '\' only
  if (!long_form.starts_with(L"\\\\?\\")) long_form = L"\\\\?\\" + long_form;
  const fs::path root(long_form);
#else
  const fs::path& root = given;
#endif
  // Entries are named by what the walk appended to the root (lexically_relative() does not
  // take the long form apart on Windows).
  const std::size_t skip = root.native().size();
  tree t;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    auto below = e.path().native().substr(skip);
    while (!below.empty() && (below[0] == '/' || below[0] == fs::path::preferred_separator))
      below.erase(0, 1);
    std::string name;
    for (const fs::path& part : fs::path(below))
      name += (name.empty() ? "" : "/") + path_to_utf8(part);
    if (name.empty()) ADD_FAILURE() << "an entry below " << path_to_utf8(given) << " has no name";
    if (e.is_directory()) {
      t[name] = std::nullopt;
    } else {
      std::ifstream in(e.path(), std::ios::binary);
      t[name] = std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
  }
  return t;
}

void restore_tree(const fs::path& root, const tree& t) {
  for (const auto& e : fs::directory_iterator(root)) fs::remove_all(e.path());
  for (const auto& [name, content] : t) {
    const fs::path p = root / path_from_utf8(name);
    if (!content) {
      fs::create_directories(p);
      continue;
    }
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(content->data()),
              static_cast<std::streamsize>(content->size()));
  }
}

bool is_temporary_entry(const std::string& relative) {
  const std::string name = relative.substr(relative.rfind('/') + 1);
  return name.starts_with('.') && name.find(".qbank-") != std::string::npos;
}

tree without_temporaries(const tree& t) {
  tree out;
  for (const auto& [name, content] : t)
    if (!is_temporary_entry(name)) out.emplace(name, content);
  return out;
}

std::string listing(const tree& t) {
  std::string text;
  for (const auto& [name, content] : t)
    text +=
        "  " + name + (content ? " (" + std::to_string(content->size()) + " bytes)" : "/") + "\n";
  return text;
}

namespace {

// Runs `op` with `hook` installed; a file_error counts as a failure shown, a kill as `killed`.
shown run_with_hook(const fault_operation& op, file_step_hook hook, bool& killed) {
  recording_host h;
  h.default_answer = true;
  shown s;
  killed = false;
  set_file_step_hook(std::move(hook));
  try {
    s = op.run(h);
  } catch (const file_error&) {
    s = {false, true};
  } catch (const simulated_kill&) {
    killed = true;
  }
  set_file_step_hook({});
  return s;
}

// The entries of `after` that are neither as they were before nor as a clean run leaves them.
std::string mixed_entries(const tree& before, const tree& clean, const tree& after) {
  std::string bad;
  for (const auto& [name, content] : without_temporaries(after)) {
    const auto b = before.find(name), c = clean.find(name);
    const bool as_before = b != before.end() && b->second == content;
    const bool as_clean = c != clean.end() && c->second == content;
    if (!as_before && !as_clean) bad += "  " + name + " is neither the old nor the new file\n";
  }
  for (const auto& [name, content] : without_temporaries(before))
    if (!after.contains(name) && clean.contains(name)) bad += "  " + name + " was lost\n";
  return bad;
}

}  // namespace

int count_steps(const fault_operation& op, const tree& before, tree& clean) {
  restore_tree(op.root, before);
  int steps = 0;
  bool killed = false;
  const shown s = run_with_hook(
      op,
      [&](file_step, const fs::path&) {
        ++steps;
        return step_outcome::proceed;
      },
      killed);
  EXPECT_TRUE(s.success && !s.failure) << op.name << ": the clean run did not succeed";
  clean = snapshot_tree(op.root);
  EXPECT_EQ(without_temporaries(clean), clean) << op.name << ": a clean run left temporaries:\n"
                                               << listing(clean);
  return steps;
}

trial_counts kill_at_every_step(const fault_operation& op) {
  const tree before = snapshot_tree(op.root);
  tree clean;
  trial_counts counts;
  counts.steps = count_steps(op, before, clean);
  for (int n = 1; n <= counts.steps; ++n) {
    restore_tree(op.root, before);
    int seen = 0;
    bool killed = false;
    run_with_hook(
        op,
        [&](file_step, const fs::path&) {
          return ++seen == n ? step_outcome::kill : step_outcome::proceed;
        },
        killed);
    ++counts.trials;
    std::string problem;
    if (!killed) problem += "  the run was not stopped\n";
    problem += mixed_entries(before, clean, snapshot_tree(op.root));
    if (op.consistent) {
      const std::string why = op.consistent();
      if (!why.empty()) problem += "  " + why + "\n";
    }
    bool again_killed = false;
    run_with_hook(op, {}, again_killed);
    const tree rerun = snapshot_tree(op.root);
    if (op.rerun_removes_leftovers && without_temporaries(rerun) != rerun)
      problem += "  the next run left temporaries:\n" + listing(rerun);
    else if (op.rerun_completes && rerun != clean)
      problem += "  the next run did not give the clean result:\n" + listing(rerun);
    if (!problem.empty()) {
      ++counts.problems;
      ADD_FAILURE() << op.name << ", killed at step " << n << " of " << counts.steps << ":\n"
                    << problem;
    }
  }
  restore_tree(op.root, before);
  return counts;
}

trial_counts fail_at_every_step(const fault_operation& op, step_outcome outcome,
                                const std::vector<file_step>& kinds) {
  const tree before = snapshot_tree(op.root);
  tree clean;
  trial_counts counts;
  counts.steps = count_steps(op, before, clean);
  for (int n = 1; n <= counts.steps; ++n) {
    restore_tree(op.root, before);
    int seen = 0;
    bool injected = false, killed = false;
    const shown s = run_with_hook(
        op,
        [&](file_step step, const fs::path&) {
          if (++seen != n) return step_outcome::proceed;
          if (std::find(kinds.begin(), kinds.end(), step) == kinds.end())
            return step_outcome::proceed;
          injected = true;
          return outcome;
        },
        killed);
    if (!injected) continue;
    ++counts.trials;
    const tree after = snapshot_tree(op.root);
    std::string problem;
    if (s.success && s.failure) problem += "  both success and a failure were shown\n";
    if (s.success && after != clean) {
      problem += "  success was shown but the files are not the clean result:\n" + listing(after);
    } else if (!s.success) {
      if (!s.failure) problem += "  neither success nor a failure was shown\n";
      problem += mixed_entries(before, clean, after);
      if (without_temporaries(after) != after)
        problem += "  temporaries were left:\n" + listing(after);
    }
    if (!problem.empty()) {
      ++counts.problems;
      ADD_FAILURE() << op.name << ", failed at step " << n << " of " << counts.steps << ":\n"
                    << problem;
    }
  }
  restore_tree(op.root, before);
  return counts;
}

}  // namespace qbank::testing
