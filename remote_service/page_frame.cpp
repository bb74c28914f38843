#include "remote_service/page_frame.h"

namespace zephra::service {

std::string pageStart(std::string_view title) {
  return html::pageStart(title,
                         "<style>"
                         "body{font:14px/1.45 sans-serif;margin:12px 16px;color:#222;background:#f6f6f4}"
                         "h1{font-size:20px;margin:0 0 8px}h2{font-size:16px;margin:16px 0 6px}"
                         "code,kbd{font-family:monospace;background:#e8e8e4;padding:0 3px;word-break:break-all}"
                         "nav a{margin-right:10px}table{border-collapse:collapse}"
                         "td,th{border:1px solid #ccc;padding:2px 8px;text-align:left}"
                         "</style>");
}

}  // namespace zephra::service
