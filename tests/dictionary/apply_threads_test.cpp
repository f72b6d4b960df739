#include "dictionary/user_dictionary.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace talvo {
namespace {

// The compiled phrases are shared by every caller; dictations on several threads at once
// must each get the whole answer.
TEST(DictionaryThreads, ConcurrentAppliesAgree) {
  UserDictionary dictionary{{"Marguerite"}, {{"sequel", "SQL"}, {"new york", "New York"}}};
  for (int i = 0; i < 20; ++i)
    dictionary.addFix(QStringLiteral("word %1").arg(i), QStringLiteral("W%1").arg(i));
  const QString text = "marguerite said sequel in new york, word 3 and word 17";
  const QString expected = "Marguerite said SQL in New York, W3 and W17";
  // ICU sets up its shared regex tables once, with atomics ThreadSanitizer cannot see
  // (the library is not built with it); do that first so only our own sharing is checked.
  ASSERT_EQ(dictionary.apply(text), expected);
  std::vector<std::thread> threads;
  std::vector<int> wrong(4, 0);
  for (std::size_t t = 0; t < wrong.size(); ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20; ++i) {
        // A fresh phrase per round keeps the threads compiling and filling the cache together.
        UserDictionary own = dictionary;
        own.addWord(QStringLiteral("Fresh%1x%2").arg(t).arg(i));
        if (own.apply(text + QStringLiteral(" fresh%1x%2").arg(t).arg(i)) !=
            expected + QStringLiteral(" Fresh%1x%2").arg(t).arg(i))
          ++wrong[t];
      }
    });
  for (auto& thread : threads) thread.join();
  for (int count : wrong) EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace talvo
