#include "app/words.h"

#include <array>

#include "generator/song_rules.h"

namespace drumlo {
namespace {

Text Concat(std::initializer_list<TextView> parts) {
  Text out;
  for (const TextView part : parts)
    out.append(part);
  return out;
}

// " (错误代码 5: 拒绝访问)"
Text CodeNote(std::int32_t code) {
  return Concat(
      {u" (错误代码 ", DecimalText(code), u": ", ReasonOf(code, Language::kChinese), u")"});
}

struct Reason {
  std::int32_t code;
  Bilingual text;
};

// The codes a run can meet, from the file access of either platform.
constexpr Reason kReasons[] = {
    {2, {u"找不到文件", u"file not found"}},
    {3, {u"找不到路径", u"path not found"}},
    {4, {u"打开的文件太多", u"too many open files"}},
    {5, {u"拒绝访问", u"access denied"}},
    {8, {u"内存不足", u"not enough memory"}},
    {19, {u"磁盘有写保护", u"the disk is write-protected"}},
    {21, {u"设备未就绪", u"the device is not ready"}},
    {29, {u"无法写入设备", u"the device cannot be written"}},
    {31, {u"设备故障", u"the device does not work"}},
    {32,
     {u"另一个程序正在使用此文件: 请先在表格程序中关闭它",
      u"another program is using the file: close it in the spreadsheet program first"}},
    {33, {u"文件的一部分被另一个程序锁定", u"another program has locked part of the file"}},
    {38, {u"文件在读取时变短了", u"the file ended early: it changed while it was read"}},
    {39, {u"磁盘已满", u"the disk is full"}},
    {53, {u"找不到网络路径", u"the network path was not found"}},
    {59, {u"网络出错", u"a network error occurred"}},
    {64, {u"网络连接已断开", u"the network connection was lost"}},
    {80, {u"文件已存在", u"the file exists"}},
    {87, {u"参数错误", u"invalid parameter"}},
    {112, {u"磁盘已满", u"the disk is full"}},
    {123, {u"文件名无效", u"the file name is not valid"}},
    {170, {u"资源正在使用中", u"the resource is busy"}},
    {206, {u"文件名太长", u"the file name is too long"}},
    {223, {u"文件太大 (2 GB 或以上)", u"the file is too large (2 GB or more)"}},
    {1117, {u"设备读写出错", u"an I/O error occurred on the device"}},
    {1224, {u"另一个程序以映射方式打开了此文件", u"another program has the file mapped"}},
    {1392, {u"文件已损坏", u"the file is damaged"}},
    {1921, {u"无法解析文件名 (链接太多)", u"the name cannot be resolved: too many links"}},
};

struct FindingWords {
  FindingKind kind;
  TextView key;
  Bilingual text;
};

constexpr FindingWords kFindingWords[] = {
    {FindingKind::kIndexZero,
     u"index_zero",
     {u"已放弃该行: INDEX 为 0", u"row abandoned: INDEX is 0"}},
    {FindingKind::kIndexDoesNotFit,
     u"index_does_not_fit",
     {u"已放弃该行: INDEX 超出 32 位整数范围", u"row abandoned: INDEX does not fit 32 bits"}},
    {FindingKind::kXmlRejected,
     u"xml_rejected",
     {u"已放弃该行: XML 名称以 m 开头", u"row abandoned: XML name rejected (it begins with m)"}},
    {FindingKind::kPakRejected,
     u"pak_rejected",
     {u"已放弃该行: PAK 名称以 m 开头", u"row abandoned: PAK name rejected (it begins with m)"}},
    {FindingKind::kImageDoesNotFit,
     u"image_does_not_fit",
     {u"已放弃该行: IMAGE 超出 32 位整数范围", u"row abandoned: IMAGE does not fit 32 bits"}},
    {FindingKind::kLevelDoesNotFit,
     u"level_does_not_fit",
     {u"已放弃该行: LV 超出 0 到 127.5", u"row abandoned: LV is not between 0 and 127.5"}},
    {FindingKind::kNoIndex,
     u"no_index",
     {u"已跳过该行: 没有 INDEX 值", u"row skipped: no INDEX value"}},
    {FindingKind::kOutsideColumns,
     u"outside_columns",
     {u"已忽略该单元格: 超出前 21 列", u"cell passed over: beyond the first 21 columns"}},
    {FindingKind::kHeaderOutsideColumns,
     u"header_outside_columns",
     {u"已忽略该表头: 超出前 21 列", u"header name passed over: beyond the first 21 columns"}},
    {FindingKind::kIndexAttributeDoesNotFit,
     u"index_attribute_does_not_fit",
     {u"已忽略该单元格: ss:Index 超出范围", u"cell passed over: its ss:Index does not fit"}},
    {FindingKind::kNoNumber,
     u"no_number",
     {u"值不是数字: 按 0 处理", u"value holds no number: 0 is used"}},
    {FindingKind::kQuoteInValue,
     u"quote_in_value",
     {u"值中含有双引号: 会在列表文件中提前结束该属性",
      u"value holds a double quote: it ends the attribute in the list file early"}},
    {FindingKind::kLineBreakInValue,
     u"line_break_in_value",
     {u"值中含有换行: 会拆开列表文件中的条目",
      u"value holds a line break: it splits the entry in the list file"}},
    {FindingKind::kNoIndexColumn,
     u"no_index_column",
     {u"表头中没有 INDEX 列, 没有歌曲可写; 表头名称为",
      u"the header has no INDEX column, so no song can be written; its names are"}},
    {FindingKind::kDuplicateId,
     u"duplicate_id",
     {u"歌曲编号与前面已写入的行重复", u"song ID already written for an earlier row"}},
    {FindingKind::kPackageAgain,
     u"package_again",
     {u"资源包在其他资源包之后再次出现: 它有了第二个列表文件",
      u"package starts again after another package: it gets a second list file"}},
    {FindingKind::kHeaderRepeated,
     u"header_repeated",
     {u"该行又是表头名称 (另一个工作表的表头被当作数据)",
      u"row holds the header names again (another sheet's header read as data)"}},
    {FindingKind::kWorkbookCutShort,
     u"workbook_cut_short",
     {u"工作簿没有以 </Workbook> 结尾: 文件可能不完整",
      u"the workbook does not end with </Workbook>: it may be cut short"}},
    {FindingKind::kRowsEndedEarly,
     u"rows_ended_early",
     {u"从该行起不再读取: 该行无法读取; 未读取的 <Row 标签数",
      u"rows end here: this row cannot be read; <Row tags left unread"}},
};

// What a workbook the run does not read is.
TextView FormatSentence(WorkbookFormat format) {
  switch (format) {
    case WorkbookFormat::kXls:
      return u"这是 Excel 97-2003 工作簿 (.xls)。";
    case WorkbookFormat::kOds:
      return u"这是 OpenDocument 电子表格 (.ods)。";
    case WorkbookFormat::kXlsb:
      return u"这是 Excel 二进制工作簿 (.xlsb)。";
    case WorkbookFormat::kEncrypted:
      return u"这是加密的工作簿: 请先取消密码。";
    default:
      return u"这不是电子表格文件。";
  }
}

const FindingWords& WordsOf(FindingKind kind) {
  for (const FindingWords& words : kFindingWords) {
    if (words.kind == kind) return words;
  }
  return kFindingWords[0];
}

}  // namespace

Text StatusText(const RunStatus& status) {
  switch (status.kind) {
    case RunStatusKind::kReading:
      return Concat({u"正在读取文件", status.workbook, u"..."});
    case RunStatusKind::kWritingGroup:
      return Concat({u"正在写入文件", DecimalText(status.group_first), u"..."});
    case RunStatusKind::kCheckingGroup:
      return Concat({u"正在检查文件", DecimalText(status.group_first), u"..."});
    case RunStatusKind::kFinished:
      return u"读取完毕!";
    case RunStatusKind::kEmpty:
      return u"空文件!";
  }
  return Text();
}

Text MessageText(const RunMessage& message, Shell shell) {
  switch (message.kind) {
    case RunMessageKind::kWorkbookMissing:
      if (shell == Shell::kTool) return Concat({u"没有发现歌曲列表文件: ", message.workbook});
      return u"没有发现歌曲列表文件";
    case RunMessageKind::kWorkbookUnreadable:
      return Concat({u"无法读取歌曲列表文件: ", message.workbook, CodeNote(message.code)});
    case RunMessageKind::kUnrecognisedFormat:
      return Concat({u"无法识别歌曲列表文件的格式: ", message.workbook, u"\n",
                     FormatSentence(message.format),
                     u"\n请在表格程序中另存为 \"XML 电子表格 2003 (*.xml)\" 或 "
                     u"\"Excel 工作簿 (*.xlsx)\" 后重试。"});
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

TextView ReasonOf(std::int32_t code, Language language) {
  for (const Reason& reason : kReasons) {
    if (reason.code == code) return reason.text.In(language);
  }
  return Bilingual{u"未知错误", u"unknown error"}.In(language);
}

TextView FindingText(FindingKind kind, Language language) {
  return WordsOf(kind).text.In(language);
}

TextView FindingKey(FindingKind kind) {
  return WordsOf(kind).key;
}

Text ReportItemText(std::int64_t notices) {
  if (notices == 0) return Text(kReportItem);
  return Concat({u"&R.查看生成报告 (", DecimalText(notices), u" 条提示)..."});
}

Text ReportNotSavedText(TextView path, std::int32_t code) {
  return Concat({u"生成报告未能保存: ", path, CodeNote(code)});
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
