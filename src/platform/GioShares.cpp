#include "platform/GioShares.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

#include "core/FileName.h"
#include "core/Shutdown.h"

// GIO names a struct member "signals", which Qt defines as a keyword.
#undef signals
#include <gio/gio.h>

namespace {

template <typename T>
struct Unref {
  void operator()(T* object) const { g_object_unref(object); }
};
template <typename T>
using Ref = std::unique_ptr<T, Unref<T>>;

struct GFree {
  void operator()(char* text) const { g_free(text); }
};
using GText = std::unique_ptr<char, GFree>;

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using Error = std::unique_ptr<GError, ErrorFree>;

// Runs work on a thread with its own GLib main context, so that GIO's callbacks arrive there
// whatever Qt's event dispatcher is, while this thread goes on serving Qt's events. Should the
// event loop be told to quit meanwhile (the user quits the agent), the work is cancelled and
// waited for.
void runAside(const std::function<void(GCancellable*)>& work) {
  const Ref<GCancellable> cancellable(g_cancellable_new());
  QEventLoop loop;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    work(cancellable.get());
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    done = true;
    QMetaObject::invokeMethod(
        &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  if (QCoreApplication::instance() != nullptr && !done) loop.exec();
  if (!done) g_cancellable_cancel(cancellable.get());
  worker.join();
  Shutdown::throwIfUnderway();
}

// Iterates the calling thread's own context until the flag is set.
void waitFor(const bool& finished) {
  GMainContext* context = g_main_context_get_thread_default();
  while (!finished) g_main_context_iteration(context, TRUE);
}

// The answers a mount gets when the server asks for a password: anonymous first, then the
// user's login when there is one, then no more (no prompt may hang a job).
struct PasswordAnswers {
  std::optional<ShareLogin> login;
  int asked = 0;
};

void onAskPassword(GMountOperation* operation, const char* /*message*/, const char* /*user*/,
                   const char* domain, GAskPasswordFlags flags, gpointer data) {
  auto& answers = *static_cast<PasswordAnswers*>(data);
  const int round = answers.asked++;
  if (round == 0 && (flags & G_ASK_PASSWORD_ANONYMOUS_SUPPORTED) != 0) {
    g_mount_operation_set_anonymous(operation, TRUE);
    g_mount_operation_reply(operation, G_MOUNT_OPERATION_HANDLED);
    return;
  }
  if (answers.login && round <= 1) {
    g_mount_operation_set_anonymous(operation, FALSE);
    g_mount_operation_set_username(operation, answers.login->user.c_str());
    g_mount_operation_set_password(operation, answers.login->password.c_str());
    if (domain != nullptr) g_mount_operation_set_domain(operation, domain);
    g_mount_operation_set_password_save(operation, G_PASSWORD_SAVE_NEVER);
    answers.login.reset();
    g_mount_operation_reply(operation, G_MOUNT_OPERATION_HANDLED);
    return;
  }
  g_mount_operation_reply(operation, G_MOUNT_OPERATION_ABORTED);
}

// Whether the file at the path can be read. A share mounted a moment ago can answer EIO through
// FUSE for a second or so, and a new mount can take as long to show up there: both are waited
// out briefly.
bool readableSoon(const std::string& path, GCancellable* cancellable) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  for (;;) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      char byte = 0;
      const ssize_t got = ::read(fd, &byte, 1);
      const int error = errno;
      ::close(fd);
      if (got >= 0) return true;
      errno = error;
    }
    const bool transient = errno == EIO || errno == ENOENT || errno == ENOTCONN;
    if (!transient || std::chrono::steady_clock::now() >= deadline ||
        g_cancellable_is_cancelled(cancellable)) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace

std::optional<std::string> GioShares::unavailable() {
  const char* const* schemes = g_vfs_get_supported_uri_schemes(g_vfs_get_default());
  for (; schemes != nullptr && *schemes != nullptr; ++schemes) {
    if (std::strcmp(*schemes, "smb") == 0) return std::nullopt;
  }
  return std::string(
      "GVfs does not serve smb:// in this session (no session bus, or the gvfs-backends "
      "package is missing)");
}

std::optional<std::string> GioShares::mountedAt(const std::string& shareUrl) {
  std::optional<std::string> where;
  runAside([&](GCancellable* cancellable) {
    const Ref<GFile> share(g_file_new_for_uri(shareUrl.c_str()));
    // GVfs's own rules decide what serves the share (it lowercases host and share names).
    const Ref<GMount> mount(g_file_find_enclosing_mount(share.get(), cancellable, nullptr));
    if (!mount) return;
    const Ref<GFile> root(g_mount_get_root(mount.get()));
    const GText path(g_file_get_path(root.get()));
    const GText uri(path ? nullptr : g_file_get_uri(root.get()));
    where = path ? path.get() : uri.get();
  });
  return where;
}

Shares::Mounting GioShares::mount(const std::string& shareUrl,
                                  const std::optional<ShareLogin>& login) {
  Mounting result;
  runAside([&](GCancellable* cancellable) {
    const Ref<GFile> share(g_file_new_for_uri(shareUrl.c_str()));
    const Ref<GMountOperation> operation(g_mount_operation_new());
    PasswordAnswers answers{login, 0};
    g_signal_connect(operation.get(), "ask-password", G_CALLBACK(onAskPassword), &answers);
    struct Outcome {
      bool finished = false;
      GError* error = nullptr;
    } outcome;
    g_file_mount_enclosing_volume(
        share.get(), G_MOUNT_MOUNT_NONE, operation.get(), cancellable,
        [](GObject* file, GAsyncResult* asyncResult, gpointer data) {
          auto& done = *static_cast<Outcome*>(data);
          g_file_mount_enclosing_volume_finish(G_FILE(file), asyncResult, &done.error);
          done.finished = true;
        },
        &outcome);
    waitFor(outcome.finished);
    const Error error(outcome.error);
    if (!error || g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_ALREADY_MOUNTED)) {
      result.mounted = true;
      return;
    }
    result.code = error->code;
    result.message = error->message;
  });
  return result;
}

std::optional<std::string> GioShares::localFile(const std::string& fileUrl,
                                                const std::string& copyFolder) {
  std::optional<std::string> local;
  runAside([&](GCancellable* cancellable) {
    const Ref<GFile> file(g_file_new_for_uri(fileUrl.c_str()));
    if (const GText path(g_file_get_path(file.get()));
        path && readableSoon(path.get(), cancellable)) {
      local = path.get();
      return;
    }
    // No FUSE path (gvfs-fuse is not running) or none that reads: a private copy through GIO.
    if (copyFolder.empty()) return;
    const GText name(g_file_get_basename(file.get()));
    const std::string copy = copyFolder + "/" + FileName::plain(name ? name.get() : "");
    const Ref<GFile> target(g_file_new_for_path(copy.c_str()));
    GError* error = nullptr;
    const auto flags =
        static_cast<GFileCopyFlags>(G_FILE_COPY_OVERWRITE | G_FILE_COPY_TARGET_DEFAULT_PERMS);
    if (g_file_copy(file.get(), target.get(), flags, cancellable, nullptr, nullptr, &error) &&
        ::chmod(copy.c_str(), 0600) == 0) {
      local = copy;
      return;
    }
    if (error != nullptr) g_error_free(error);
    ::unlink(copy.c_str());
  });
  return local;
}
