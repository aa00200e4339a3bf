// The token a person pastes is tried on the API first; a token the server accepts is kept in
// the cookie the server reads (quilmar_token, this site only, not sent to other sites) and the
// page opens.
const form = document.getElementById('login-form');
const input = document.getElementById('token');
const message = document.getElementById('login-message');

// What a cookie value may hold without quoting: no space, quote, comma, semicolon or backslash.
const kCookieText = /^[\x21\x23-\x2b\x2d-\x3a\x3c-\x5b\x5d-\x7e]+$/;

form.addEventListener('submit', async (event) => {
  event.preventDefault();
  const token = input.value.trim();
  if (!kCookieText.test(token)) {
    message.textContent = 'A token has no spaces, quotes, commas, semicolons or backslashes.';
    return;
  }
  message.textContent = 'checking…';
  let answer;
  try {
    answer = await fetch('/api/parameters', {headers: {Authorization: `Bearer ${token}`}, cache: 'no-store'});
  } catch (e) {
    message.textContent = `The server did not answer: ${e.message}`;
    return;
  }
  if (answer.status === 401) {
    message.textContent = 'This token is not the archive\'s.';
    return;
  }
  const secure = window.location.protocol === 'https:' ? '; Secure' : '';
  document.cookie = `quilmar_token=${token}; Path=/; SameSite=Strict; Max-Age=31536000${secure}`;
  window.location.assign('/');
});
