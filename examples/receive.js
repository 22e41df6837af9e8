// The script of receive.html. It touches the page only through `document`
// (getElementById, createTextNode), so Windows' script host can run it as it
// is against the control, with a stand-in document; the tests do.

// Only the characters that the option syntax gives a meaning are escaped: the
// control turns the text into its ANSI code page before decoding, so Korean
// is passed as it is, not as UTF-8 escapes.
function optionValue(text) {
  return String(text).replace(/%/g, "%25").replace(/&/g, "%26").replace(/=/g, "%3D")
                     .replace(/\+/g, "%2B").replace(/ /g, "+");
}

// The option text from the form's fields (elements with a `value`); an empty
// field leaves its key out, so the control uses its default.
function optionText(fields) {
  var keys = { server: "CONNECTIP", port: "CONNECTPORT", date: "DATE", user: "USERID" };
  var pairs = [];
  for (var field in keys) {
    var value = fields[field].value;
    if (value !== "") pairs.push(keys[field] + "=" + optionValue(value));
  }
  return pairs.join("&");
}

// What the page says for each outcome of an attempt.
var statusTexts = {
  missing: "컨트롤을 만들 수 없습니다. Dovrel이 설치되어 있는지, 이 페이지가 Internet Explorer 모드로 열렸는지 확인하십시오.",
  installing: "컨트롤을 준비하는 중입니다. 설치 창이 보이면 설치를 마친 뒤 다시 누르십시오. 이 메시지가 계속되면 컨트롤이 차단된 것입니다.",
  thrown: "컨트롤을 호출하지 못했습니다. 브라우저의 보안 설정이 막았을 수 있습니다.",
  notStarted: "자료 수신을 시작하지 못했습니다. 방금 닫은 '오류' 창에 이유가 있습니다: 허용되지 않은 사이트이거나 서버에 접속하지 못했습니다.",
  closed: "수신 창을 닫았습니다."
};

// "ready" once the control's method is there. Without it, "installing" while
// the <object> has not completed (readyState below 4, or a text other than
// "complete"): the browser may still be fetching or installing the cabinet,
// or waiting for the user's consent. Otherwise "missing": not installed,
// blocked, or not in IE mode, which the page cannot tell apart.
function controlState(control) {
  if (!control) return "missing";
  if (typeof control.ReceiveFile !== "undefined") return "ready";
  var state = control.readyState;
  if (typeof state === "number" ? state < 4 : (state && state !== "complete")) return "installing";
  return "missing";
}

// One attempt, as one of the keys of statusTexts. "0" comes both when the
// control refused the page and when the server name did not resolve; the
// control has shown its "오류" box either way and the page cannot tell which.
function receiveOutcome(control, options) {
  var state = controlState(control);
  if (state !== "ready") return state;
  var result;
  try {
    result = control.ReceiveFile(options);
  } catch (e) {
    return "thrown";
  }
  return result === "1" ? "closed" : "notStarted";
}

// Text nodes work in every document mode; textContent needs IE9 mode or later.
function showStatus(element, text) {
  while (element.firstChild) element.removeChild(element.firstChild);
  element.appendChild(document.createTextNode(text));
}

// The form's handler. Returns once the receive window has been closed.
function receive() {
  var outcome = receiveOutcome(document.getElementById("dovrel"),
                               optionText(document.getElementById("options").elements));
  showStatus(document.getElementById("status"), statusTexts[outcome]);
  return outcome;
}
