<%@ Language=VBScript %>
<%
Session.Abandon
Response.Redirect "/default.asp"
%>
