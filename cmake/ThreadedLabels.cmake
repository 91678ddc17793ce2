# Included by ctest after the discovered gtest cases: labels the cases that run
# several threads "threaded", the set `scripts/test --tsan` runs under
# ThreadSanitizer (ctest -L threaded). Entries: "<test executable>:<regex on the case name>".
set(threaded_cases
  "test_decision:^EnvironmentCheck"                      # check worker, waiter, display-time worker
  "test_install:^InstallPipelineTest\\."                 # pipeline worker with progress and error posts
  "test_platform_window:^NativeWindowTest\\.(Send|TwoThreads|Posted)"  # cross-thread sends and posts
  "test_ui:^WindowImplBaseTest\\.(CrossThread|CallsAfterClose|TwoUiThreads|WorkerSend)"
  "test_pages:^(ProcessWndTest|CheckWndTest)\\."          # worker calls into the UI thread
  "test_app:^LogTest\\."                                 # lines written from several threads
  "test_comm:^HttpLibDownLoadTest\\.(PackageArrives|PlainHttp)"  # receiving thread and file writer
)
foreach(entry IN LISTS threaded_cases)
  string(FIND "${entry}" ":" colon)
  string(SUBSTRING "${entry}" 0 ${colon} exe)
  math(EXPR start "${colon} + 1")
  string(SUBSTRING "${entry}" ${start} -1 pattern)
  foreach(name IN LISTS ${exe}_TESTS)
    if(name MATCHES "${pattern}")
      set_tests_properties("${name}" PROPERTIES LABELS threaded)
    endif()
  endforeach()
endforeach()
