#include "app/words.h"

#include "generator/song_rules.h"

namespace drumlo {
namespace {

Text Concat(std::initializer_list<TextView> parts) {
  Text out;
  for (const TextView part : parts)
    out.append(part);
  return out;
}

Text CodeNote(std::int32_t code) {
  return Concat({u" (错误代码 ", DecimalText(code), u")"});
}

}  // namespace

Text StatusText(const RunStatus& status) {
  switch (status.kind) {
    case RunStatusKind::kReading:
      return Concat({u"正在读取文件", status.workbook, u"..."});
    case RunStatusKind::kWritingGroup:
      return Concat({u"正在写入文件", DecimalText(status.group_first), u"..."});
    case RunStatusKind::kFinished:
      return u"读取完毕!";
    case RunStatusKind::kEmpty:
      return u"空文件!";
  }
  return Text();
}

Text MessageText(const RunMessage& message) {
  switch (message.kind) {
    case RunMessageKind::kWorkbookMissing:
      return u"没有发现歌曲列表文件";
    case RunMessageKind::kWorkbookUnreadable:
      return Concat({u"无法读取歌曲列表文件: ", message.workbook, CodeNote(message.code)});
    case RunMessageKind::kWritesFailed: {
      Text text = u"以下列表文件未能写入:";
      for (const FailedWrite& failed : message.failed_writes)
        text += Concat({u"\n", failed.path, CodeNote(failed.code)});
      return text;
    }
  }
  return Text();
}

MessageIcon IconOf(RunMessageKind kind) {
  return kind == RunMessageKind::kWorkbookMissing ? MessageIcon::kNone : MessageIcon::kWarning;
}

Text IdOutOfRangeText(TextView field_text) {
  return Concat({u"歌曲编号超出范围: ", field_text});
}

Text AboutText(const VersionFacts& facts) {
  return Concat({facts.product_name, u" 版本 ", DecimalText(facts.major), u".",
                 DecimalText(facts.minor), u".", DecimalText(facts.revision),
                 u"\n程序作者: Ivo.Marsh\n", facts.legal_copyright,
                 u"\n警告: 本程序仅用于生成Drumlo歌曲列表文件。"
                 u"\n生成前请备份程序目录中的同名列表文件,"
                 u"\n已有的同名列表文件将被直接覆盖。"});
}

}  // namespace drumlo
